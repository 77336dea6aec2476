#include "imaging/FileBytes.h"

#include "platform/Errors.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <utility>

namespace tavo {

FileBytes FileBytes::read(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw EFOpenError(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw EFOpenError(path);
    struct stat status {};
    std::size_t capacity = 1 << 16;
    if (fstat(fileno(file.get()), &status) == 0 && status.st_size > 0)
        capacity = static_cast<std::size_t>(status.st_size);
    // One byte more than the size said, so that a file that grew is noticed
    // and read on to its end.
    if (capacity + 1 < capacity)
        throw std::bad_alloc();
    FileBytes bytes;
    // The file is read to its end: its bytes fill the block.
    bytes.memory_ = platform::PixelMemory(capacity + 1, platform::PagePopulation::Ahead);
    for (;;) {
        const std::size_t room = bytes.memory_.size() - bytes.size_;
        const std::size_t got = std::fread(bytes.memory_.data() + bytes.size_, 1, room, file.get());
        bytes.size_ += got;
        if (got < room)
            break;
        const std::size_t grown = bytes.memory_.size() * 2;
        if (grown < bytes.memory_.size())
            throw std::bad_alloc();
        platform::PixelMemory larger(grown);
        std::memcpy(larger.data(), bytes.memory_.data(), bytes.size_);
        bytes.memory_ = std::move(larger);
    }
    if (std::ferror(file.get()))
        throw EReadError();
    return bytes;
}

FileBytes FileBytes::copy(const std::uint8_t* data, std::size_t size)
{
    FileBytes bytes;
    bytes.memory_ = platform::PixelMemory(size);
    if (size != 0)
        std::memcpy(bytes.memory_.data(), data, size);
    bytes.size_ = size;
    return bytes;
}

} // namespace tavo
