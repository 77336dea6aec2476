// Populates a fresh anonymous mapping from its low address up, ahead of the
// writes of its owner. Picture decoders write their rows in that order at
// about the speed at which a virtual machine hands out never-used memory, so
// the page faults (and the zeroing of every page) can run on the second core
// instead of in the decoder's way. Populating leaves the contents alone, so
// the owner may write meanwhile.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace tavo::platform {

// The steps, for a thread that has other work too.
class PageFiller {
public:
    PageFiller(std::uint8_t* start, std::size_t length) noexcept : start_(start), length_(length) {}
    // Populates the next part; false when nothing is left (or the kernel
    // cannot, or the memory cannot be had).
    bool step() noexcept;

private:
    std::uint8_t* start_;
    std::size_t length_;
    std::size_t done_ = 0;
};

// The steps on a thread of its own, started at once; without a thread to be
// had nothing is populated ahead.
class PagePopulator {
public:
    PagePopulator(std::uint8_t* start, std::size_t length) noexcept;
    // Stops after the step under way; the mapping must outlive this object.
    ~PagePopulator();
    PagePopulator(const PagePopulator&) = delete;
    PagePopulator& operator=(const PagePopulator&) = delete;

private:
    std::atomic<bool> stop_{false};
    PageFiller filler_;
    std::thread thread_;
};

} // namespace tavo::platform
