#include "platform/PagePopulator.h"

#include <sys/mman.h>

#include <algorithm>
#include <system_error>

namespace tavo::platform {

namespace {
// One huge page per step: small enough to stop soon, large enough that a step
// costs one call.
constexpr std::size_t kStep = std::size_t{2} << 20;
} // namespace

PagePopulator::PagePopulator(std::uint8_t* start, std::size_t length) noexcept
{
#ifdef MADV_POPULATE_WRITE
    try {
        thread_ = std::thread([this, start, length] { run(start, length); });
    } catch (const std::system_error&) {
        // No thread: the owner's writes fault the pages in as before.
    }
#else
    (void)start;
    (void)length;
#endif
}

PagePopulator::~PagePopulator()
{
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable())
        thread_.join();
}

void PagePopulator::run(std::uint8_t* start, std::size_t length) noexcept
{
#ifdef MADV_POPULATE_WRITE
    // Populating leaves the contents alone, so the owner may write meanwhile.
    // A kernel without the request, or memory that cannot be had, ends it.
    for (std::size_t done = 0; done < length && !stop_.load(std::memory_order_relaxed); done += kStep) {
        if (madvise(start + done, std::min(kStep, length - done), MADV_POPULATE_WRITE) != 0)
            return;
    }
#else
    (void)start;
    (void)length;
#endif
}

} // namespace tavo::platform
