#include "platform/LocalMemory.h"
#include "platform/SharedMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using tavo::platform::isLiveLocalHandle;
using tavo::platform::liveLocalHandleCount;
using tavo::platform::localBlock;

TEST(LocalMemory, FixedBlockHandleIsItsAddressAndZeroInitWorks)
{
    HLOCAL h = LocalAlloc(LPTR, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(LocalLock(h), h);
    EXPECT_EQ(LocalSize(h), 100u);
    const auto* bytes = static_cast<const unsigned char*>(LocalLock(h));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(bytes[i], 0);
    EXPECT_EQ(LocalUnlock(h), 0); // a fixed block has no lock count
    EXPECT_EQ(LocalFree(h), nullptr);
}

TEST(LocalMemory, MoveableBlockCountsLocks)
{
    HLOCAL h = LocalAlloc(LHND, 16);
    ASSERT_NE(h, nullptr);
    void* p = LocalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, h);
    EXPECT_EQ(LocalLock(h), p);
    EXPECT_NE(LocalUnlock(h), 0); // still locked once
    EXPECT_EQ(LocalUnlock(h), 0);
    EXPECT_EQ(LocalUnlock(h), 0); // not locked at all
    EXPECT_EQ(LocalFree(h), nullptr);
}

TEST(LocalMemory, UnknownAndFreedHandlesFailEverywhere)
{
    const std::size_t before = liveLocalHandleCount();
    HLOCAL moveable = LocalAlloc(LMEM_MOVEABLE, 8);
    HLOCAL fixed = LocalAlloc(LMEM_FIXED, 8);
    ASSERT_EQ(LocalFree(moveable), nullptr);
    ASSERT_EQ(LocalFree(fixed), nullptr);
    int onTheStack = 0;
    for (HLOCAL h : {moveable, fixed, static_cast<HLOCAL>(&onTheStack), reinterpret_cast<HLOCAL>(0x10)}) {
        EXPECT_FALSE(isLiveLocalHandle(h));
        EXPECT_EQ(LocalLock(h), nullptr);
        EXPECT_EQ(LocalUnlock(h), 0);
        EXPECT_EQ(LocalSize(h), 0u);
        EXPECT_EQ(LocalReAlloc(h, 4, LMEM_MOVEABLE), nullptr);
        EXPECT_FALSE(localBlock(h).has_value());
    }
    // Freeing twice, or freeing what is no handle, fails and gives the handle back.
    EXPECT_EQ(LocalFree(moveable), moveable);
    EXPECT_EQ(LocalFree(&onTheStack), &onTheStack);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    EXPECT_EQ(liveLocalHandleCount(), before);
}

TEST(LocalMemory, ReAllocMovesOnlyWhereWin32Allows)
{
    HLOCAL fixed = LocalAlloc(LMEM_FIXED, 4);
    std::memcpy(LocalLock(fixed), "abcd", 4);
    EXPECT_EQ(LocalReAlloc(fixed, 1 << 20, LMEM_ZEROINIT), nullptr); // a fixed block may not move
    EXPECT_EQ(LocalSize(fixed), 4u);
    HLOCAL grown = LocalReAlloc(fixed, 1 << 20, LMEM_MOVEABLE | LMEM_ZEROINIT);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(LocalSize(grown), std::size_t{1} << 20);
    const auto span = localBlock(grown);
    ASSERT_TRUE(span.has_value());
    EXPECT_EQ(std::memcmp(span->data(), "abcd", 4), 0);
    EXPECT_EQ((*span)[4], 0);
    EXPECT_EQ((*span)[(1 << 20) - 1], 0);
    if (grown != fixed) {
        EXPECT_FALSE(isLiveLocalHandle(fixed));
    }
    EXPECT_EQ(LocalFree(grown), nullptr);

    HLOCAL moveable = LocalAlloc(LMEM_MOVEABLE, 4);
    LocalLock(moveable);
    EXPECT_EQ(LocalReAlloc(moveable, 1 << 20, 0), nullptr); // locked: may not move
    LocalUnlock(moveable);
    EXPECT_EQ(LocalReAlloc(moveable, 1 << 20, 0), moveable); // the handle stays
    EXPECT_EQ(LocalReAlloc(moveable, 2, 0), moveable);
    EXPECT_EQ(LocalSize(moveable), 2u);
    EXPECT_EQ(LocalFree(moveable), nullptr);
}

TEST(LocalMemory, ZeroSizedBlockIsALiveHandle)
{
    HLOCAL h = LocalAlloc(LMEM_FIXED, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(LocalSize(h), 0u);
    ASSERT_TRUE(localBlock(h).has_value());
    EXPECT_TRUE(localBlock(h)->empty());
    EXPECT_EQ(LocalFree(h), nullptr);
}

TEST(LocalMemory, LargeBlocksLiveInSharedMemoryThatGrowsWithThem)
{
    HLOCAL small = LocalAlloc(LMEM_MOVEABLE, 100);
    EXPECT_FALSE(tavo::platform::localBlockCarrier(small).has_value());
    EXPECT_EQ(LocalFree(small), nullptr);

    HLOCAL large = LocalAlloc(LHND, 1 << 20);
    const auto carrier = tavo::platform::localBlockCarrier(large);
    ASSERT_TRUE(carrier.has_value());
    EXPECT_EQ(carrier->size, std::size_t{1} << 20);
    EXPECT_GE(tavo::platform::descriptorSize(carrier->fd), std::int64_t{1} << 20);
    auto* bytes = static_cast<unsigned char*>(LocalLock(large));
    bytes[0] = 7;
    bytes[(1 << 20) - 1] = 9;
    LocalUnlock(large);
    // Growing keeps the bytes, the handle and zeros the new part.
    ASSERT_EQ(LocalReAlloc(large, 3 << 20, LMEM_ZEROINIT), large);
    const auto grown = tavo::platform::localBlockCarrier(large);
    ASSERT_TRUE(grown.has_value());
    EXPECT_EQ(grown->size, std::size_t{3} << 20);
    const auto span = localBlock(large);
    ASSERT_TRUE(span.has_value());
    EXPECT_EQ((*span)[0], 7);
    EXPECT_EQ((*span)[(1 << 20) - 1], 9);
    EXPECT_EQ((*span)[(3 << 20) - 1], 0);
    EXPECT_EQ(LocalFree(large), nullptr);
    EXPECT_FALSE(tavo::platform::localBlockCarrier(large).has_value());
}

TEST(LocalMemory, LargeBlocksAreZeroWhateverTheBlocksBeforeThemHeld)
{
    // Freed large blocks are kept for later ones; each new block still starts
    // all zero, whether it is smaller, larger or as large as a freed one, and
    // blocks alive at the same time never share memory.
    auto allZero = [](HLOCAL handle, std::size_t size) {
        const auto span = localBlock(handle);
        return span && span->size() == size &&
            std::all_of(span->begin(), span->end(), [](unsigned char b) { return b == 0; });
    };
    for (const std::size_t size : {std::size_t{1} << 20, std::size_t{300} << 10, std::size_t{5} << 20,
                                   std::size_t{5} << 20, std::size_t{64} << 10}) {
        HLOCAL first = LocalAlloc(LMEM_MOVEABLE, size);
        HLOCAL second = LocalAlloc(LMEM_FIXED, size);
        ASSERT_TRUE(allZero(first, size)) << size;
        ASSERT_TRUE(allZero(second, size)) << size;
        auto* a = static_cast<unsigned char*>(LocalLock(first));
        std::memset(a, 0xAB, size);
        LocalUnlock(first);
        EXPECT_TRUE(allZero(second, size)) << size;
        std::memset(second, 0xCD, size);
        EXPECT_EQ(LocalFree(first), nullptr);
        EXPECT_EQ(LocalFree(second), nullptr);
    }
}
