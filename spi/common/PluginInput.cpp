#include "PluginSupport.h"

#include <cstdio>
#include <new>
#include <sys/stat.h>

namespace tavo::spi {

std::int32_t PluginInput::open(const char* buf, std::intptr_t len, std::uint32_t flag)
{
    if (buf == nullptr || len < 0)
        return SPI_OUT_OF_ORDER;
    switch (flag & 7) {
    case SPI_INPUT_MEMORY:
        data_ = reinterpret_cast<const std::uint8_t*>(buf);
        size_ = std::size_t(len);
        return SPI_ALL_RIGHT;
    case SPI_INPUT_FILE:
        break;
    default:
        return SPI_NOT_IMPLEMENTED;
    }
    std::FILE* file = std::fopen(buf, "rb");
    if (file == nullptr)
        return SPI_FILE_READ_ERROR;
    struct stat status {};
    std::int32_t result = SPI_ALL_RIGHT;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < len) {
        result = SPI_FILE_READ_ERROR;
    } else if (std::uint64_t(status.st_size - len) > kMaxImageBytes) {
        result = SPI_NO_MEMORY;
    } else {
        size_ = std::size_t(status.st_size - len);
        owned_.reset(new (std::nothrow) std::uint8_t[size_ + 1]);
        if (!owned_)
            result = SPI_NO_MEMORY;
        else if (fseeko(file, off_t(len), SEEK_SET) != 0
                 || std::fread(owned_.get(), 1, size_, file) != size_)
            result = SPI_FILE_READ_ERROR;
        data_ = owned_.get();
    }
    std::fclose(file);
    return result;
}

} // namespace tavo::spi
