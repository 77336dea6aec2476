#include "ViewerTestSupport.h"

#include "viewer/core/StretchSampler.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavo {
namespace {

std::vector<std::uint32_t> sampled(const Bitmap& picture, PixelSize control, ImageBounds part)
{
    std::vector<std::uint32_t> out(static_cast<std::size_t>(part.width) * part.height, 0xDEADBEEF);
    StretchSampler(picture).sample(control, part, out.data(), static_cast<std::size_t>(part.width));
    return out;
}

constexpr std::uint32_t rgb(unsigned r, unsigned g, unsigned b) { return 0xFF000000u | r << 16 | g << 8 | b; }

TEST(StretchSampler, NearestSourceRepeatsOrDropsWholePixels)
{
    // Doubling repeats each pixel twice; halving keeps every second one, the
    // one under the destination pixel's centre.
    for (int d = 0; d < 8; ++d)
        EXPECT_EQ(nearestSource(d, 8, 4), d / 2);
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(nearestSource(d, 4, 8), 2 * d + 1);
    EXPECT_EQ(nearestSource(5, 6, 6), 5);
    EXPECT_EQ(nearestSource(0, 0, 6), 0);
    EXPECT_EQ(nearestSource(99, 100, 1), 0);
}

TEST(StretchSampler, ReadsEveryFormatAsItsColours)
{
    const Bitmap bgr = test::patternPicture(4, 3);
    EXPECT_EQ(sampled(bgr, {4, 3}, {3, 2, 1, 1})[0], rgb(5, 2, 3));

    Bitmap indexed(2, 1, 8);
    indexed.setPalette({{10, 20, 30, 0}});
    indexed.mutableRow(0)[1] = 200;  // beyond the palette: black
    EXPECT_EQ(sampled(indexed, {2, 1}, {0, 0, 2, 1}), (std::vector<std::uint32_t>{rgb(30, 20, 10), rgb(0, 0, 0)}));

    Bitmap bottomUp(1, 2, 24, RowOrder::BottomUp);
    bottomUp.mutableRow(0)[2] = 255;  // the top pixel red
    EXPECT_EQ(sampled(bottomUp, {1, 2}, {0, 0, 1, 2}), (std::vector<std::uint32_t>{rgb(255, 0, 0), rgb(0, 0, 0)}));

    Bitmap wide(1, 1, 32);
    wide.mutableRow(0)[0] = 7;
    wide.mutableRow(0)[2] = 9;
    EXPECT_EQ(sampled(wide, {1, 1}, {0, 0, 1, 1})[0], rgb(9, 0, 7));

    Bitmap nibbles(2, 1, 4);
    nibbles.setPalette({{0, 0, 0, 0}, {1, 2, 3, 0}});
    nibbles.mutableRow(0)[0] = 0x01;  // pixels 0 and 1
    EXPECT_EQ(sampled(nibbles, {2, 1}, {0, 0, 2, 1}), (std::vector<std::uint32_t>{rgb(0, 0, 0), rgb(3, 2, 1)}));
}

TEST(StretchSampler, APartEqualsTheSameRegionOfTheWhole)
{
    const Bitmap picture = test::patternPicture(37, 23);
    const PixelSize control{211, 97};
    const auto whole = sampled(picture, control, {0, 0, control.width, control.height});
    const ImageBounds part{50, 30, 71, 40};
    const auto piece = sampled(picture, control, part);
    for (int y = 0; y < part.height; ++y)
        for (int x = 0; x < part.width; ++x)
            ASSERT_EQ(piece[y * part.width + x], whole[(part.top + y) * control.width + part.left + x]);
}

TEST(StretchSampler, LeavesWhatLiesOutsideTheControlAlone)
{
    const auto out = sampled(test::patternPicture(2, 2), {2, 2}, {-1, 1, 4, 2});
    EXPECT_EQ(out[0], 0xDEADBEEF);
    EXPECT_EQ(out[1], rgb(1, 1, 0));
    EXPECT_EQ(out[3], 0xDEADBEEF);
    EXPECT_EQ(out[4], 0xDEADBEEF);  // the row below the control
    EXPECT_EQ(sampled(Bitmap(), {5, 5}, {0, 0, 1, 1})[0], 0xDEADBEEF);
}

} // namespace
} // namespace tavo
