#include "viewer/core/ZoomArithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavo {
namespace {

ZoomInput input(PixelSize workArea, PixelSize picture, ZoomView current = {})
{
    return {workArea, picture, static_cast<double>(picture.height) / picture.width, current};
}

TEST(ZoomArithmetic, FitWidthFillsTheWidthAndShowsTheTop)
{
    const ZoomView view = fitWidth(input({500, 400}, {1000, 2000}));
    EXPECT_EQ(view.bounds, (ImageBounds{0, 0, 500, 1000}));
    EXPECT_DOUBLE_EQ(view.zoom, 0.5);
}

TEST(ZoomArithmetic, FitWholeTakesTheHeightBranchForATallPicture)
{
    // r = 0.8 is not greater than 2.0.
    const ZoomView view = fitWhole(input({500, 400}, {1000, 2000}));
    EXPECT_EQ(view.bounds, (ImageBounds{150, 0, 200, 400}));
    EXPECT_DOUBLE_EQ(view.zoom, 0.2);
}

TEST(ZoomArithmetic, FitWholeTakesTheWidthBranchForAWidePicture)
{
    const ZoomView view = fitWhole(input({500, 400}, {1000, 500}));
    EXPECT_EQ(view.bounds, (ImageBounds{0, 75, 500, 250}));
    EXPECT_DOUBLE_EQ(view.zoom, 0.5);
}

TEST(ZoomArithmetic, FitWholeWithEqualProportionsTakesTheHeightBranch)
{
    // 0.75 both ways: height = 300, width = Trunc(300 / 0.75) = 400.
    const ZoomView view = fitWhole(input({400, 300}, {800, 600}));
    EXPECT_EQ(view.bounds, (ImageBounds{0, 0, 400, 300}));
    // 21 / 9 and 7 / 3 are equal in floating point too; the width is truncated.
    const ZoomView odd = fitWhole(input({9, 21}, {3, 7}));
    EXPECT_EQ(odd.bounds.height, 21);
    EXPECT_EQ(odd.bounds.width, static_cast<std::int32_t>(21 / (7.0 / 3)));
    EXPECT_EQ(odd.bounds.left, static_cast<std::int32_t>((9 - odd.bounds.width) / 2.0));
    EXPECT_EQ(odd.bounds.top, 0);
}

TEST(ZoomArithmetic, OriginalSizeSitsAtTheTopLeftCorner)
{
    const ZoomView view = originalSize(input({500, 400}, {1000, 2000}, {{30, 40, 7, 8}, 3.0}));
    EXPECT_EQ(view.bounds, (ImageBounds{0, 0, 1000, 2000}));
    EXPECT_DOUBLE_EQ(view.zoom, 1.0);
}

TEST(ZoomArithmetic, FixedRatioCapsOnlyWhenBothSidesExceedTheLimit)
{
    // 8000 × 6000; aspect 0.75 is not greater than 0.75: width capped.
    ZoomView view = fixedRatio(input({400, 300}, {2000, 1500}, {{0, 0, 2000, 1500}, 1.0}), 400);
    EXPECT_EQ(view.bounds.width, 4096);
    EXPECT_EQ(view.bounds.height, 3072);
    EXPECT_DOUBLE_EQ(view.zoom, 4.0);

    // 4500 × 6000; aspect 4/3 > 0.75: height capped, width Trunc(3072 / (2000 / 1500)).
    view = fixedRatio(input({400, 300}, {1500, 2000}, {{0, 0, 1500, 2000}, 1.0}), 300);
    EXPECT_EQ(view.bounds.height, 3072);
    EXPECT_EQ(view.bounds.width, 2304);
    EXPECT_DOUBLE_EQ(view.zoom, 3.0);

    // 4000 × 4000 is not wider than 4096: nothing capped.
    view = fixedRatio(input({400, 300}, {1000, 1000}, {{0, 0, 1000, 1000}, 1.0}), 400);
    EXPECT_EQ(view.bounds.width, 4000);
    EXPECT_EQ(view.bounds.height, 4000);

    // Very wide and low: only the width exceeds, so it grows past 4096.
    view = fixedRatio(input({400, 300}, {3000, 100}, {{0, 0, 3000, 100}, 1.0}), 400);
    EXPECT_EQ(view.bounds.width, 12000);
    EXPECT_EQ(view.bounds.height, 400);
}

TEST(ZoomArithmetic, FixedRatioKeepsThePointUnderTheCentre)
{
    const ZoomView view = fixedRatio(input({400, 300}, {100, 100}, {{150, 100, 100, 100}, 1.0}), 200);
    EXPECT_EQ(view.bounds, (ImageBounds{100, 50, 200, 200}));
    EXPECT_DOUBLE_EQ(view.zoom, 2.0);

    // Shrinking moves the other way, each product truncated toward zero:
    // left = 10 − Trunc((200 − 10) × (40 / 100 − 1)) = 10 − (−114) = 124.
    const ZoomView smaller = fixedRatio(input({400, 300}, {100, 100}, {{10, -50, 100, 100}, 1.0}), 40);
    EXPECT_EQ(smaller.bounds.left, 10 - static_cast<std::int32_t>(190 * (40.0 / 100 - 1)));
    EXPECT_EQ(smaller.bounds.top, -50 - static_cast<std::int32_t>(200 * (40.0 / 100 - 1)));
}

TEST(ZoomArithmetic, TruncationGoesTowardZeroAndSaturates)
{
    EXPECT_EQ(truncToPixels(-109.5), -109);
    EXPECT_EQ(truncToPixels(109.9), 109);
    EXPECT_EQ(truncToPixels(std::nan("")), 0);
    EXPECT_EQ(truncToPixels(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(truncToPixels(-std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int32_t>::min());
}

TEST(ZoomArithmetic, AnEmptyPictureLeavesTheViewAsItWas)
{
    const ZoomView current{{12, 34, 56, 78}, 0.5};
    for (PixelSize empty : {PixelSize{0, 0}, PixelSize{10, 0}, PixelSize{0, 10}}) {
        const ZoomInput in{{500, 400}, empty, 0.75, current};
        EXPECT_EQ(fitWidth(in), current);
        EXPECT_EQ(fitWhole(in), current);
        EXPECT_EQ(originalSize(in), current);
        EXPECT_EQ(fixedRatio(in, 200), current);
    }
}

TEST(ZoomArithmetic, AZeroSizedControlOrWorkAreaGivesOnlyDefinedNumbers)
{
    // A control of no size has no point to keep: the picture is centred on
    // the work area's centre.
    const ZoomView view = fixedRatio(input({400, 300}, {100, 50}, {{7, 9, 0, 0}, 0.0}), 200);
    EXPECT_EQ(view.bounds, (ImageBounds{100, 100, 200, 100}));

    // A work area of no size: the ratio becomes 0, never NaN.
    for (const ZoomView& v : {fitWidth(input({0, 0}, {100, 50})), fitWhole(input({0, 0}, {100, 50})),
                              fitWhole(input({0, 300}, {100, 50}))}) {
        EXPECT_FALSE(std::isnan(v.zoom));
        EXPECT_EQ(v.bounds.width, 0);
    }
}

} // namespace
} // namespace tavo
