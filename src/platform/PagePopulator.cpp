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

bool PageFiller::step() noexcept
{
#ifdef MADV_POPULATE_WRITE
    if (done_ >= length_)
        return false;
    const std::size_t count = std::min(kStep, length_ - done_);
    if (madvise(start_ + done_, count, MADV_POPULATE_WRITE) != 0) {
        done_ = length_;
        return false;
    }
    done_ += count;
    return done_ < length_;
#else
    return false;
#endif
}

PagePopulator::PagePopulator(std::uint8_t* start, std::size_t length) noexcept : filler_(start, length)
{
    try {
        thread_ = std::thread([this] {
            while (!stop_.load(std::memory_order_relaxed) && filler_.step()) {
            }
        });
    } catch (const std::system_error&) {
        // No thread: the owner's writes fault the pages in as before.
    }
}

PagePopulator::~PagePopulator()
{
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable())
        thread_.join();
}

} // namespace tavo::platform
