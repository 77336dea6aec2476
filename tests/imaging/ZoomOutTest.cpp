#include "imaging/ZoomOut.h"

#include "ZoomOutReference.h"
#include "ZoomOutTestSupport.h"
#include "imaging/ZoomOutKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace tavo;
using namespace tavo::testing;

namespace {

// Width pass alone (the examples are one row high, whose height a ratio below 1 would make 0).
std::vector<int> narrowedBlue(const std::vector<std::uint8_t>& blue, std::int32_t targetWidth,
                              const ShrinkImplementation& impl)
{
    std::vector<std::uint8_t> bgr;
    for (std::uint8_t b : blue)
        bgr.insert(bgr.end(), {b, 0, 0});
    const Bitmap source = pictureOf(static_cast<std::int32_t>(blue.size()), 1, bgr);
    Bitmap destination(targetWidth, 1, 24);
    if (impl.kernels)
        zoomout::shrinkHorizontalWith(source, destination, *impl.kernels);
    else
        reference::shrinkHorizontal(source, destination);
    return blueRow(destination, 0);
}

} // namespace

TEST(ZoomOut, WorkedExamplesOfTheWidthPass)
{
    for (const auto& impl : shrinkImplementations()) {
        SCOPED_TRACE(impl.name);
        EXPECT_EQ(narrowedBlue({0, 100, 200, 60}, 2, impl), (std::vector<int>{50, 130}));
        EXPECT_EQ(narrowedBlue({90, 30, 60}, 2, impl), (std::vector<int>{70, 50}));
        // Truncated, not rounded: 65536 ÷ 98304 is 0.
        EXPECT_EQ(narrowedBlue({1, 0, 0}, 2, impl), (std::vector<int>{0, 0}));
    }
    // The tables of 3 → 2, from both the reference and the fast plan.
    const auto tables = reference::widthTables(3, 2);
    EXPECT_EQ(std::vector<std::int32_t>(tables.start.begin(), tables.start.begin() + 3),
              (std::vector<std::int32_t>{0, 1, 3}));
    EXPECT_EQ(std::vector<std::int32_t>(tables.fraction.begin(), tables.fraction.begin() + 3),
              (std::vector<std::int32_t>{0, 32768, 0}));
    EXPECT_EQ(tables.divisor, 98304);
    EXPECT_EQ(zoomout::passDivisor(3, 2), 98304u);
    EXPECT_EQ(zoomout::passBoundary(1, 3, 2).start, 1);
    EXPECT_EQ(zoomout::passBoundary(1, 3, 2).fraction, 32768);
    EXPECT_EQ(zoomout::passBoundary(2, 3, 2).start, 3);
}

TEST(ZoomOut, WholePictureExamplesOnEveryImplementation)
{
    // Two equal rows of 0, 100, 200, 60 by 0.5: the height pass averages equal rows.
    const std::vector<std::uint8_t> twoRows{0, 1, 2, 100, 101, 102, 200, 201, 202, 60, 61, 62,
                                            0, 1, 2, 100, 101, 102, 200, 201, 202, 60, 61, 62};
    std::mt19937 random(7);
    const Bitmap original = randomPicture(random, 37, 21, 24, RowOrder::BottomUp);
    for (const auto& impl : shrinkImplementations()) {
        SCOPED_TRACE(impl.name);
        Bitmap picture = pictureOf(4, 2, twoRows);
        impl.shrink(picture, 0.5);
        ASSERT_EQ(picture.width(), 2);
        ASSERT_EQ(picture.height(), 1);
        EXPECT_EQ(blueRow(picture, 0), (std::vector<int>{50, 130}));

        Bitmap same = original;
        impl.shrink(same, 1.0);
        EXPECT_EQ(firstDifference(same, original), "");
        EXPECT_EQ(same.rowOrder(), RowOrder::BottomUp);

        Bitmap empty;
        impl.shrink(empty, 0.5);
        EXPECT_TRUE(empty.isEmpty());
    }
}

TEST(ZoomOut, PalettisedPictureComesOut24BitWithAveragedPaletteColours)
{
    Bitmap grey(4, 2, 8);
    std::vector<PaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7, 0};
    grey.setPalette(palette);
    const std::uint8_t indices[2][4] = {{10, 30, 200, 0}, {50, 70, 100, 100}};
    for (int y = 0; y < 2; ++y)
        std::memcpy(grey.mutableRow(y), indices[y], 4);
    for (const auto& impl : shrinkImplementations()) {
        SCOPED_TRACE(impl.name);
        Bitmap picture = grey;
        impl.shrink(picture, 0.5);
        ASSERT_EQ(picture.bitCount(), 24);
        ASSERT_EQ(picture.width(), 2);
        ASSERT_EQ(picture.height(), 1);
        EXPECT_TRUE(picture.palette().empty());
        const std::uint8_t* p = picture.row(0);
        EXPECT_EQ(p[0], 40);  // (10 + 30 + 50 + 70) ÷ 4
        EXPECT_EQ(p[1], 215); // 255 − 40
        EXPECT_EQ(p[2], 7);
        EXPECT_EQ(p[3], 100); // (200 + 0 + 100 + 100) ÷ 4
        EXPECT_EQ(p[4], 155);
        EXPECT_EQ(grey.bitCount(), 8); // the original, shared before, is untouched
    }
}

TEST(ZoomOut, RefusalsLeaveThePictureUnchanged)
{
    std::mt19937 random(3);
    const Bitmap original = randomPicture(random, 300, 200, 8, RowOrder::TopDown);
    struct Case {
        double ratio;
        EShrinkRefused::Reason reason;
    };
    const Case cases[] = {
        {0.0, EShrinkRefused::Reason::Ratio},
        {-0.5, EShrinkRefused::Reason::Ratio},
        {1.0000001, EShrinkRefused::Reason::Ratio},
        {std::numeric_limits<double>::quiet_NaN(), EShrinkRefused::Reason::Ratio},
        {std::numeric_limits<double>::infinity(), EShrinkRefused::Reason::Ratio},
        {0.003, EShrinkRefused::Reason::EmptyTarget}, // 300 × 0.003 = 0.9 columns
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        Bitmap picture = original;
        try {
            ShrinkBitmap(picture, c.ratio);
            ADD_FAILURE() << "not refused";
        } catch (const EShrinkRefused& e) {
            EXPECT_EQ(e.reason(), c.reason);
            EXPECT_FALSE(std::string(e.what()).empty());
        }
        EXPECT_TRUE(picture.sharesPixelsWith(original));
        EXPECT_EQ(picture.bitCount(), 8);
        EXPECT_EQ(picture.width(), 300);
    }
    // Sides beyond 32767 and factors beyond 128 are reduced too.
    Bitmap wide(32768, 2, 24);
    ShrinkBitmap(wide, 0.5);
    EXPECT_EQ(wide.width(), 16384);
    Bitmap factor150 = original;
    ShrinkBitmap(factor150, 1.0 / 150);
    EXPECT_EQ(factor150.width(), 2);
    EXPECT_EQ(factor150.height(), 1);

    // The passes refuse what their arithmetic cannot do, and other bit counts.
    Bitmap source(10, 4, 24);
    Bitmap wider(11, 4, 24);
    EXPECT_THROW(ShrinkHorizontal(source, wider), EShrinkRefused);
    Bitmap none(0, 4, 24);
    EXPECT_THROW(ShrinkHorizontal(source, none), EShrinkRefused);
    Bitmap palettised(5, 4, 8);
    EXPECT_THROW(ShrinkHorizontal(source, palettised), EInvalidGraphic);
    Bitmap shorter(10, 2, 24);
    EXPECT_TRUE(ShrinkVertical(source, shorter));
}

TEST(ZoomOut, PassWithoutTablesWritesNothingAndTheReductionGoesOn)
{
    std::mt19937 random(11);
    const Bitmap original = randomPicture(random, 90, 70, 24, RowOrder::TopDown);
    const double ratio = 0.3; // 27 × 21
    for (const zoomout::Kernels* k : zoomout::availableKernels()) {
        SCOPED_TRACE(k->name);
        // Without the width tables the height pass gets the top-left 27 × 70.
        Bitmap cut = original;
        cut.resize(27, 70);
        Bitmap expected(27, 21, 24);
        reference::shrinkVertical(cut, expected);
        Bitmap picture = original;
        zoomout::failTableAllocationsForTesting(true, false);
        zoomout::shrinkBitmapWith(picture, ratio, *k);
        EXPECT_EQ(firstDifference(picture, expected), "");

        // Without the height tables the result is the top 21 rows of the narrowed picture.
        Bitmap narrowed(27, 70, 24);
        reference::shrinkHorizontal(original, narrowed);
        narrowed.resize(27, 21);
        picture = original;
        zoomout::failTableAllocationsForTesting(false, true);
        zoomout::shrinkBitmapWith(picture, ratio, *k);
        EXPECT_EQ(firstDifference(picture, narrowed), "");

        Bitmap destination(27, 70, 24);
        zoomout::failTableAllocationsForTesting(true, false);
        EXPECT_FALSE(zoomout::shrinkHorizontalWith(original, destination, *k));
        EXPECT_EQ(firstDifference(destination, Bitmap(27, 70, 24)), "");
    }
}

TEST(ZoomOut, ConstantPictureLosesAtMostOnePerPassAndSizesFollowTheRatio)
{
    // A pass's weights add up to D − 1, D or D + 1, so with truncation a
    // constant v comes out of one pass as v or v − 1, never higher; of both
    // passes as v, v − 1 or v − 2.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> side(1, 400);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 40; ++round) {
        const std::int32_t w = side(random), h = side(random);
        const double ratio = std::max({1.0 / w, 1.0 / h, unit(random)}) + 1e-9;
        const std::int32_t wt = static_cast<std::int32_t>(w * ratio), ht = static_cast<std::int32_t>(h * ratio);
        if (w > 128 * wt || h > 128 * ht || ratio > 1)
            continue;
        const int v = static_cast<int>(random() % 256);
        const Bitmap constant = pictureOf(w, h, std::vector<std::uint8_t>(3 * static_cast<std::size_t>(w) * h, static_cast<std::uint8_t>(v)));
        auto expectWithin = [&](const Bitmap& picture, int loss) {
            for (std::int32_t y = 0; y < picture.height(); ++y)
                for (std::int32_t i = 0; i < 3 * picture.width(); ++i) {
                    const int out = picture.row(y)[i];
                    ASSERT_TRUE(out <= v && out >= std::max(0, v - loss)) << int(v) << " gave " << out;
                }
        };
        Bitmap narrowed(wt, h, 24);
        ShrinkHorizontal(constant, narrowed);
        expectWithin(narrowed, 1);
        Bitmap lowered(w, ht, 24);
        ShrinkVertical(constant, lowered);
        expectWithin(lowered, 1);
        Bitmap picture = constant;
        ShrinkBitmap(picture, ratio);
        ASSERT_EQ(picture.width(), wt);
        ASSERT_EQ(picture.height(), ht);
        expectWithin(picture, 2);
    }
}

TEST(ZoomOut, DivisionIsExactForEveryDivisorAndTheSumsThatOccur)
{
    // D runs from 65536 (ratio 1) to 128 × 65536 (factor 128); sums from 0 to 255 × (D + 1).
    const std::uint32_t lowest = 65536, highest = 128u * 65536u;
    for (std::uint32_t d = lowest; d <= highest; ++d) {
        const zoomout::Divisor div = zoomout::Divisor::of(d);
        for (std::uint32_t q : {1u, 2u, 127u, 254u, 255u}) {
            ASSERT_EQ(div.divide(q * d), q) << d;
            ASSERT_EQ(div.divide(q * d - 1), q - 1) << d;
        }
        ASSERT_EQ(div.divide(255 * (d + 1)), 255u) << d;
    }
    // Every sum for the divisors at the ends and of a few common ratios.
    for (std::uint32_t d : {lowest, lowest + 1, 98304u, 131072u, 196608u, 262144u, highest - 1, highest}) {
        const zoomout::Divisor div = zoomout::Divisor::of(d);
        const std::uint32_t top = 255 * (d + 1);
        const std::uint32_t step = d > 1000000 ? 251 : 3;
        for (std::uint32_t s = 0; s <= top; s += step)
            ASSERT_EQ(div.divide(s), s / d) << d << " " << s;
    }
}
