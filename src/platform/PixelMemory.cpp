#include "platform/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace tavo::platform {

namespace {
// Below this a plain allocation is cheaper than a mapping of its own.
constexpr std::size_t kMapThreshold = 1u << 20;
} // namespace

PixelMemory::PixelMemory(std::size_t size) : size_(size)
{
    if (size == 0)
        return;
    if (size >= kMapThreshold) {
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(p, size, MADV_HUGEPAGE);
#endif
        data_ = static_cast<std::uint8_t*>(p);
        mapped_ = true;
        return;
    }
    data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
    if (!data_)
        throw std::bad_alloc();
}

PixelMemory::~PixelMemory() { release(); }

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false))
{
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void PixelMemory::release() noexcept
{
    if (!data_)
        return;
    if (mapped_)
        munmap(data_, size_);
    else
        std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace tavo::platform
