// Every kernel set against the reference, byte for byte, on random pictures of
// random sizes, ratios, bit counts and row orders, plus the edges of the
// vector layout (band heights, turn widths) and of the fixed-point limits.
#include "ZoomOutReference.h"
#include "ZoomOutTestSupport.h"
#include "imaging/ZoomOut.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace tavo;
using namespace tavo::testing;

namespace {

// Within the 32-bit limits, where the kernels carry both passes.
bool withinLimits(std::int32_t w, std::int32_t h, double ratio)
{
    const std::int32_t wt = static_cast<std::int32_t>(w * ratio), ht = static_cast<std::int32_t>(h * ratio);
    return ratio > 0 && ratio <= 1 && wt > 0 && ht > 0 && w <= 128 * wt && h <= 128 * ht;
}

void expectSameAsReference(const Bitmap& original, double ratio)
{
    Bitmap expected = original;
    reference::shrinkBitmap(expected, ratio);
    for (const zoomout::Kernels* k : zoomout::availableKernels()) {
        Bitmap picture = original;
        zoomout::shrinkBitmapWith(picture, ratio, *k);
        ASSERT_EQ(firstDifference(picture, expected), "")
            << k->name << ": " << original.width() << "x" << original.height() << " bits " << original.bitCount()
            << " ratio " << ratio;
        ASSERT_EQ(picture.rowOrder(), expected.rowOrder());
    }
}

} // namespace

TEST(ZoomOutEquivalence, RandomPicturesSizesAndRatios)
{
    std::mt19937 random(20261209);
    const int bitCounts[] = {1, 4, 8, 16, 24, 32};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int cases = 0;
    // At least 200 cases however loaded the machine, more while time allows.
    while (cases < 200 || (cases < 3000 && std::chrono::steady_clock::now() < deadline)) {
        // Mostly small pictures, now and then a large one.
        const std::int32_t limit = random() % 20 == 0 ? 1200 : 160;
        const std::int32_t w = 1 + static_cast<std::int32_t>(random() % limit);
        const std::int32_t h = 1 + static_cast<std::int32_t>(random() % limit);
        double ratio;
        switch (random() % 4) {
        case 0: ratio = 1.0; break;
        case 1: ratio = static_cast<double>(1 + random() % w) / w; break; // an exact target width
        default: ratio = unit(random); break;
        }
        if (!withinLimits(w, h, ratio))
            continue;
        const int bits = bitCounts[random() % 6];
        const RowOrder order = random() % 2 ? RowOrder::TopDown : RowOrder::BottomUp;
        expectSameAsReference(randomPicture(random, w, h, bits, order), ratio);
        if (::testing::Test::HasFatalFailure())
            return;
        ++cases;
    }
    RecordProperty("cases", cases);
}

TEST(ZoomOutEquivalence, EdgesOfTheLayoutAndTheLimits)
{
    std::mt19937 random(42);
    // Widths whose rows end just around the 16- and 32-byte turn blocks, heights around the 16-row bands.
    for (std::int32_t w : {1, 5, 6, 10, 11, 16, 21, 22, 31, 32, 33, 43, 64, 65})
        for (std::int32_t h : {1, 2, 15, 16, 17, 31, 32, 33})
            for (double ratio : {1.0, 0.999, 0.5, 0.34, 1.0 / 7})
                if (withinLimits(w, h, ratio))
                    expectSameAsReference(randomPicture(random, w, h, 24, RowOrder::TopDown), ratio);
    // Factor exactly 128 and just below, the largest side, all bytes 255 (the largest sums).
    Bitmap bright(256, 128, 24);
    for (std::int32_t y = 0; y < bright.height(); ++y)
        std::memset(bright.mutableRow(y), 255, 3 * 256);
    expectSameAsReference(bright, 1.0 / 128);
    expectSameAsReference(bright, 0.0079);
    expectSameAsReference(bright, 1.0);
    expectSameAsReference(randomPicture(random, 32767, 128, 24, RowOrder::BottomUp), 1.0 / 127.9);
    expectSameAsReference(randomPicture(random, 32767, 2, 24, RowOrder::TopDown), 0.77);
    expectSameAsReference(randomPicture(random, 3, 32767, 24, RowOrder::TopDown), 0.9);
    expectSameAsReference(randomPicture(random, 1000, 700, 24, RowOrder::TopDown), 0.7);
}

TEST(ZoomOutEquivalence, SeparatePassesMatchTheReference)
{
    std::mt19937 random(9);
    const Bitmap source = randomPicture(random, 333, 77, 24, RowOrder::BottomUp);
    Bitmap narrowed(101, 77, 24), expectedNarrowed(101, 77, 24);
    reference::shrinkHorizontal(source, expectedNarrowed);
    Bitmap lowered(333, 20, 24), expectedLowered(333, 20, 24);
    reference::shrinkVertical(source, expectedLowered);
    for (const zoomout::Kernels* k : zoomout::availableKernels()) {
        SCOPED_TRACE(k->name);
        EXPECT_TRUE(zoomout::shrinkHorizontalWith(source, narrowed, *k));
        EXPECT_EQ(firstDifference(narrowed, expectedNarrowed), "");
        EXPECT_TRUE(zoomout::shrinkVerticalWith(source, lowered, *k));
        EXPECT_EQ(firstDifference(lowered, expectedLowered), "");
    }
}

// Beyond the 32-bit limits the reduction goes on in 64 bits: sides of 32768 or
// more, factors above 128 in either direction, up to the largest side a bitmap
// may have, and the largest sums (every byte 255).
TEST(ZoomOutEquivalence, BeyondTheThirtyTwoBitLimits)
{
    std::mt19937 random(18);
    expectSameAsReference(randomPicture(random, 40000, 20, 24, RowOrder::TopDown), 0.77);
    expectSameAsReference(randomPicture(random, 3, 40000, 24, RowOrder::BottomUp), 0.9);
    expectSameAsReference(randomPicture(random, 200, 40000, 8, RowOrder::BottomUp), 0.7);
    expectSameAsReference(randomPicture(random, 300, 200, 24, RowOrder::TopDown), 1.0 / 150);
    expectSameAsReference(randomPicture(random, 129, 1000, 24, RowOrder::TopDown), 1.0 / 129);
    expectSameAsReference(randomPicture(random, Bitmap::kMaxSide, 130, 24, RowOrder::TopDown), 1.0 / 130);
    // The largest divisor (2^32) and sums: whole rows of the longest side, all
    // bytes 255, each into one pixel.
    Bitmap longest(Bitmap::kMaxSide, 3, 24);
    for (std::int32_t y = 0; y < longest.height(); ++y)
        std::memset(longest.mutableRow(y), 255, 3 * static_cast<std::size_t>(longest.width()));
    Bitmap expected(1, 3, 24);
    reference::shrinkHorizontal(longest, expected);
    EXPECT_EQ(expected.row(2)[0], 255);
    for (const zoomout::Kernels* k : zoomout::availableKernels()) {
        Bitmap pixel(1, 3, 24);
        EXPECT_TRUE(zoomout::shrinkHorizontalWith(longest, pixel, *k));
        EXPECT_EQ(firstDifference(pixel, expected), "") << k->name;
    }
}
