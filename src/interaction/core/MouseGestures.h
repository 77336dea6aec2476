// Arithmetic of the mouse gestures on the picture: the zoom step, the vertical
// right-button zoom drag, the toolbar reveal and the double-click glide.
// Floating-point operations keep the written order so that results match to
// the pixel; every conversion to pixels truncates toward zero.
#pragma once

#include "interaction/core/Geometry.h"

namespace tavo {

inline constexpr std::int32_t kZoomDragDeadZone = 5;
inline constexpr std::int32_t kToolbarOffsetX = 5;
inline constexpr std::int32_t kToolbarOffsetY = -60;
inline constexpr std::int32_t kZoomInLimitWidth = 4096;
inline constexpr std::int32_t kZoomInLimitHeight = 3072;
inline constexpr double kZoomOutLimit = 0.3;

// ⌊(H × 0.1 ÷ 300 + 0.1) × 10⌋ ÷ 10 for a control H pixels high.
double zoomStep(std::int32_t height);

// What one pointer movement of a right-button drag does, in the order tested.
enum class ZoomDragAction {
    RevealToolbar, // sideways by the reveal distance or more: the drag ends
    DeadZone,      // less than 5 pixels up or down: nothing
    ZoomInLimit,   // moving up while the control exceeds both limits: the drag ends
    ZoomOutLimit,  // moving down below the smallest ratio: the drag ends
    ZoomIn,
    ZoomOut,
};

ZoomDragAction classifyZoomDrag(PointI pressCursor, PointI currentCursor, std::int32_t revealDistance,
                                const ImageBounds& bounds, double zoom);

// The ratio after one zoom-drag or keyboard step. A step that would take the
// ratio to zero or below is not taken: the picture's size stays positive.
double steppedZoom(double zoom, std::int32_t controlHeight, bool zoomIn);

struct PressState {
    std::int32_t downX = 0; // press position in the pressed control
    std::int32_t downY = 0;
    ImageBounds bounds;           // the image control's bounds at the press
};

// New bounds of a zoom-drag step: the size from the picture and the ratio, the
// position anchored at the press point against the bounds at the press. A
// zero press-time size keeps the press-time position instead of dividing.
ImageBounds zoomDragBounds(std::int32_t pictureWidth, std::int32_t pictureHeight, double zoom,
                     const PressState& press);

// New bounds of a keyboard zoom: the size from the picture and the ratio,
// keeping the centre of the current rectangle; never below one pixel.
ImageBounds centredZoomBounds(std::int32_t pictureWidth, std::int32_t pictureHeight, double zoom,
                        const ImageBounds& current);

// Picture size for a ratio, never below one pixel.
std::int32_t scaledSide(std::int32_t side, double zoom);

// The double-click glide passes through n + 1 positions, i = 0 to n, from the
// start to the target (x = left, y = top). Fewer than 1 step counts as 1.
std::int32_t glideSteps(std::int32_t steps);
PointI glidePosition(PointI start, PointI target, std::int32_t steps, std::int32_t i);

// Target of the glide: the clicked point ends half the main window's outer
// size from the work area's top-left corner.
PointI glideTarget(std::int32_t windowOuterWidth, std::int32_t windowOuterHeight, std::int32_t downX,
                   std::int32_t downY);

} // namespace tavo
