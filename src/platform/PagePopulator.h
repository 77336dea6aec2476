// Populates a fresh anonymous mapping on a thread of its own, from its low
// address up, while its owner starts writing into it. Picture decoders write
// their rows in that order at about the speed at which this virtual machine
// hands out never-used memory, so the page faults (and the zeroing of every
// page) run on the second core instead of in the decoder's way.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace tavo::platform {

class PagePopulator {
public:
    // Starts at once; without a thread to be had nothing is populated ahead.
    PagePopulator(std::uint8_t* start, std::size_t length) noexcept;
    // Stops after the step under way; the mapping must outlive this object.
    ~PagePopulator();
    PagePopulator(const PagePopulator&) = delete;
    PagePopulator& operator=(const PagePopulator&) = delete;

private:
    void run(std::uint8_t* start, std::size_t length) noexcept;

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace tavo::platform
