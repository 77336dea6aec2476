#include "platform/PixelMemory.h"

#include "platform/PagePopulator.h"
#include "platform/SpareMappings.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace tavo::platform {

namespace {
// Below this a plain allocation is cheaper than a mapping of its own.
constexpr std::size_t kMapThreshold = 1u << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

constexpr std::size_t kSmallPage = 4096;
// From this size on the pages are populated ahead of the writer.
constexpr std::size_t kPopulateThreshold = std::size_t{16} << 20;

// A mapping starts on a huge-page boundary: huge pages cover only whole
// aligned 2 MB ranges, and an unaligned head would take a fault for every
// 4 KB page (each an exit to the hypervisor on a virtual machine). Its end is
// rounded up to a huge page too when the last one is at least half used;
// a tail less used than that costs fewer faults than the memory rounding
// would waste.
std::size_t mappedLength(std::size_t size)
{
    const std::size_t tail = size % kHugePage;
    if (tail >= kHugePage / 2)
        return size - tail + kHugePage;
    return (size + kSmallPage - 1) & ~(kSmallPage - 1);
}
} // namespace

PixelMemory::PixelMemory(std::size_t size, PagePopulation population) : size_(size)
{
    if (size == 0)
        return;
    if (size >= kMapThreshold) {
        const std::size_t length = mappedLength(size);
        if (length < size || length + kHugePage < length)
            throw std::bad_alloc();
        if (const Mapping spare = takeSpareMapping(length); spare.start) {
            std::memset(spare.start, 0, size);
            data_ = spare.start;
            mappedLength_ = spare.length;
            return;
        }
        // One huge page more than needed, then the unaligned head and the
        // rest of the tail are given back.
        void* p = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        const std::uintptr_t start = (at + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
        if (start != at)
            munmap(p, start - at);
        if (const std::size_t tail = kHugePage - (start - at); tail != 0)
            munmap(reinterpret_cast<void*>(start + length), tail);
#ifdef MADV_HUGEPAGE
        madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
        data_ = reinterpret_cast<std::uint8_t*>(start);
        mappedLength_ = length;
        if (population == PagePopulation::Ahead && length >= kPopulateThreshold) {
            try {
                populator_ = std::make_unique<PagePopulator>(data_, length);
            } catch (const std::bad_alloc&) {
                // Populating ahead only saves time.
            }
        }
        return;
    }
    data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
    if (!data_)
        throw std::bad_alloc();
}

PixelMemory::PixelMemory() = default;

PixelMemory::~PixelMemory() { release(); }

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : populator_(std::move(other.populator_)), data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)), mappedLength_(std::exchange(other.mappedLength_, 0))
{
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (this != &other) {
        release();
        populator_ = std::move(other.populator_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mappedLength_ = std::exchange(other.mappedLength_, 0);
    }
    return *this;
}

void PixelMemory::release() noexcept
{
    populator_.reset();
    if (!data_)
        return;
    if (mappedLength_ != 0)
        keepSpareMapping(Mapping{data_, std::exchange(mappedLength_, 0)});
    else
        std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace tavo::platform
