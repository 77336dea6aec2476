#include "interaction/core/MouseGestures.h"

#include <gtest/gtest.h>

using namespace tavo;

TEST(ZoomStep, GrowsByATenthEvery300Pixels)
{
    EXPECT_DOUBLE_EQ(zoomStep(240), 0.1);
    EXPECT_DOUBLE_EQ(zoomStep(299), 0.1);
    EXPECT_DOUBLE_EQ(zoomStep(300), 0.2);
    EXPECT_DOUBLE_EQ(zoomStep(599), 0.2);
    EXPECT_DOUBLE_EQ(zoomStep(600), 0.3);
    EXPECT_DOUBLE_EQ(zoomStep(0), 0.1);
}

TEST(ZoomStep, SomeLargeMultiplesOf300FallOneTenthShort)
{
    // The truncation follows floating-point rounding: find the multiples of 300
    // where (H × 0.1 ÷ 300 + 0.1) × 10 lands just below a whole number.
    int shortfalls = 0;
    for (int k = 1; k <= 200; ++k) {
        const double exact = (k + 1) / 10.0;
        const double step = zoomStep(300 * k);
        EXPECT_TRUE(step == exact || step == (k) / 10.0) << "H = " << 300 * k;
        if (step < exact - 1e-9)
            ++shortfalls;
    }
    EXPECT_GT(shortfalls, 0);
    EXPECT_DOUBLE_EQ(zoomStep(300 * 4), 0.5);
}

TEST(ZoomDrag, DeadZoneRevealAndLimitsInTheirOrder)
{
    const PointI press{100, 100};
    const ImageBounds small{0, 0, 320, 240};
    EXPECT_EQ(classifyZoomDrag(press, {100, 96}, 30, small, 1.0), ZoomDragAction::DeadZone);
    EXPECT_EQ(classifyZoomDrag(press, {100, 95}, 30, small, 1.0), ZoomDragAction::ZoomIn);
    EXPECT_EQ(classifyZoomDrag(press, {100, 105}, 30, small, 1.0), ZoomDragAction::ZoomOut);
    EXPECT_EQ(classifyZoomDrag(press, {129, 95}, 30, small, 1.0), ZoomDragAction::ZoomIn);
    EXPECT_EQ(classifyZoomDrag(press, {130, 95}, 30, small, 1.0), ZoomDragAction::RevealToolbar);
    EXPECT_EQ(classifyZoomDrag(press, {70, 100}, 30, small, 1.0), ZoomDragAction::RevealToolbar);
    // Zooming in stops only when the control exceeds both limits.
    EXPECT_EQ(classifyZoomDrag(press, {100, 90}, 30, {0, 0, 8000, 3000}, 4.0), ZoomDragAction::ZoomIn);
    EXPECT_EQ(classifyZoomDrag(press, {100, 90}, 30, {0, 0, 4097, 3073}, 4.0), ZoomDragAction::ZoomInLimit);
    EXPECT_EQ(classifyZoomDrag(press, {100, 110}, 30, {0, 0, 4097, 3073}, 4.0), ZoomDragAction::ZoomOut);
    // The zoom-out limit applies below 0.3 only.
    EXPECT_EQ(classifyZoomDrag(press, {100, 110}, 30, small, 0.35), ZoomDragAction::ZoomOut);
    EXPECT_EQ(classifyZoomDrag(press, {100, 110}, 30, small, 0.25), ZoomDragAction::ZoomOutLimit);
    EXPECT_EQ(classifyZoomDrag(press, {100, 90}, 30, small, 0.25), ZoomDragAction::ZoomIn);
}

TEST(ZoomDrag, StepsAreTakenUntilTheyWouldReachZero)
{
    EXPECT_NEAR(steppedZoom(0.35, 240, false), 0.25, 1e-12);
    EXPECT_NEAR(steppedZoom(1.0, 600, true), 1.3, 1e-12);
    // A tall control's step would take the ratio below zero: it is not taken.
    EXPECT_DOUBLE_EQ(steppedZoom(0.35, 3000, false), 0.35);
}

TEST(ZoomDrag, KeepsThePressedPointInPlace)
{
    // A 100 × 100 picture at (10, 20), pressed at (50, 50), zoomed to 2.0.
    const PressState press{50, 50, {10, 20, 100, 100}};
    const ImageBounds r = zoomDragBounds(100, 100, 2.0, press);
    EXPECT_EQ(r, (ImageBounds{-40, -30, 200, 200}));
    // The press point (60, 70) in the work area still shows picture point (50, 50).
    EXPECT_EQ(r.left + 100, 60);
    EXPECT_EQ(r.top + 100, 70);
}

TEST(ZoomDrag, ZeroPressSizeNeverDividesAndSizesStayPositive)
{
    const PressState press{5, 5, {3, 4, 0, 0}};
    const ImageBounds r = zoomDragBounds(100, 50, 0.001, press);
    EXPECT_EQ(r, (ImageBounds{3, 4, 1, 1}));
}

TEST(KeyboardZoom, KeepsTheCentreTruncatingHalves)
{
    // 100 × 100 at (0, 0) grown to 105 × 105: half of −5 is −2.5, truncated to −2.
    const ImageBounds r = centredZoomBounds(100, 100, 1.05, {0, 0, 100, 100});
    EXPECT_EQ(r, (ImageBounds{-2, -2, 105, 105}));
    EXPECT_EQ(centredZoomBounds(10, 10, -1.0, {0, 0, 10, 10}).width, 1);
}

TEST(Glide, PassesThroughStepsPlusOnePositions)
{
    EXPECT_EQ(glidePosition({10, 20}, {110, 220}, 1, 0), (PointI{10, 20}));
    EXPECT_EQ(glidePosition({10, 20}, {110, 220}, 1, 1), (PointI{110, 220}));

    EXPECT_EQ(glidePosition({0, 0}, {-105, 33}, 10, 1), (PointI{-10, 3})); // ⌊−105 ÷ 10 × 1⌋ = −10, ⌊33 ÷ 10⌋ = 3
    EXPECT_EQ(glidePosition({0, 0}, {-105, 33}, 10, 10), (PointI{-105, 33}));
    // Both halves are truncated on their own: 5 ÷ 2 and 7 ÷ 2 give 2 + 3.
    EXPECT_EQ(glidePosition({7, 7}, {5, 5}, 2, 1), (PointI{5, 5}));

    // Fewer than one step counts as one.
    EXPECT_EQ(glideSteps(0), 1);
    EXPECT_EQ(glideSteps(-3), 1);
    EXPECT_EQ(glidePosition({1, 1}, {9, 9}, -3, 1), (PointI{9, 9}));
}

TEST(Glide, TargetIsHalfTheOuterWindowSize)
{
    EXPECT_EQ(glideTarget(801, 600, 40, 30), (PointI{360, 270}));
}
