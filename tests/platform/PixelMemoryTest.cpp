#include "platform/PixelMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

using tavo::platform::PixelMemory;

namespace {
bool allZero(const PixelMemory& memory)
{
    return std::all_of(memory.data(), memory.data() + memory.size(), [](std::uint8_t b) { return b == 0; });
}
} // namespace

// A freed picture-sized block is kept and handed out again: whatever the last
// picture left in it, the next one starts zero-filled.
TEST(PixelMemory, ReusedBlocksComeBackZeroed)
{
    for (const std::size_t size : {std::size_t{18} << 20, (std::size_t{40} << 20) + 12345, std::size_t{130} << 20}) {
        std::uint8_t* first = nullptr;
        {
            PixelMemory memory(size);
            ASSERT_TRUE(allZero(memory));
            std::memset(memory.data(), 0xAB, memory.size());
            first = memory.data();
        }
        // A little smaller still fits the kept block; far smaller does not take it.
        PixelMemory again(size - size / 8);
        EXPECT_EQ(again.data(), first) << size;
        EXPECT_TRUE(allZero(again)) << size;
        std::memset(again.data(), 0xCD, again.size());
        PixelMemory moved(std::move(again));
        PixelMemory small(size / 3);
        EXPECT_NE(small.data(), moved.data());
        EXPECT_TRUE(allZero(small));
    }
}

// A fresh large block is populated on a second thread while its owner writes
// into it; freeing it at once, or moving it, must neither lose a byte nor leave
// the thread running on memory that is gone.
TEST(PixelMemory, WritesWhilePopulatingAreKept)
{
    for (int round = 0; round < 4; ++round) {
        const std::size_t size = (std::size_t{64} << 20) + static_cast<std::size_t>(round) * 4096;
        PixelMemory memory(size, tavo::platform::PagePopulation::Ahead);
        for (std::size_t i = 0; i < size; i += 997)
            memory.data()[i] = static_cast<std::uint8_t>(i % 251 + 1);
        PixelMemory owner(std::move(memory));
        for (std::size_t i = 0; i < size; i += 997)
            ASSERT_EQ(owner.data()[i], static_cast<std::uint8_t>(i % 251 + 1)) << i;
        PixelMemory freedAtOnce(size * 2, tavo::platform::PagePopulation::Ahead);
    }
}
