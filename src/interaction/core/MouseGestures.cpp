#include "interaction/core/MouseGestures.h"

#include <cmath>
#include <cstdlib>

namespace tavo {

double zoomStep(std::int32_t height)
{
    const double tenths = std::trunc((height * 0.1 / 300 + 0.1) * 10);
    return tenths / 10;
}

ZoomDragAction classifyZoomDrag(PointI pressCursor, PointI currentCursor, std::int32_t revealDistance,
                                const ImageBounds& bounds, double zoom)
{
    const std::int64_t dx = std::llabs(std::int64_t{currentCursor.x} - pressCursor.x);
    const std::int64_t dy = std::llabs(std::int64_t{currentCursor.y} - pressCursor.y);
    if (dx >= revealDistance)
        return ZoomDragAction::RevealToolbar;
    if (dy < kZoomDragDeadZone)
        return ZoomDragAction::DeadZone;
    const bool up = currentCursor.y < pressCursor.y;
    if (up && bounds.width > kZoomInLimitWidth && bounds.height > kZoomInLimitHeight)
        return ZoomDragAction::ZoomInLimit;
    if (zoom < kZoomOutLimit && !up)
        return ZoomDragAction::ZoomOutLimit;
    return up ? ZoomDragAction::ZoomIn : ZoomDragAction::ZoomOut;
}

double steppedZoom(double zoom, std::int32_t controlHeight, bool zoomIn)
{
    const double step = zoomStep(controlHeight);
    const double next = zoomIn ? zoom + step : zoom - step;
    return next > 0 ? next : zoom;
}

std::int32_t scaledSide(std::int32_t side, double zoom)
{
    const std::int32_t scaled = truncToPixels(side * zoom);
    return scaled < 1 ? 1 : scaled;
}

ImageBounds zoomDragBounds(std::int32_t pictureWidth, std::int32_t pictureHeight, double zoom,
                     const PressState& press)
{
    ImageBounds result;
    result.width = scaledSide(pictureWidth, zoom);
    result.height = scaledSide(pictureHeight, zoom);
    const ImageBounds& down = press.bounds;
    // The products are integers, the quotients floating point.
    result.top = down.height == 0
        ? down.top
        : truncToPixels(down.top + press.downY
                        - std::trunc(static_cast<double>(std::int64_t{press.downY} * result.height) / down.height));
    result.left = down.width == 0
        ? down.left
        : truncToPixels(down.left + press.downX
                        - std::trunc(static_cast<double>(std::int64_t{press.downX} * result.width) / down.width));
    return result;
}

ImageBounds centredZoomBounds(std::int32_t pictureWidth, std::int32_t pictureHeight, double zoom,
                        const ImageBounds& current)
{
    ImageBounds result;
    result.width = scaledSide(pictureWidth, zoom);
    result.height = scaledSide(pictureHeight, zoom);
    result.left = truncToPixels(current.left + std::trunc((static_cast<double>(current.width) - result.width) / 2));
    result.top = truncToPixels(current.top + std::trunc((static_cast<double>(current.height) - result.height) / 2));
    return result;
}

std::int32_t glideSteps(std::int32_t steps) { return steps < 1 ? 1 : steps; }

PointI glidePosition(PointI start, PointI target, std::int32_t steps, std::int32_t i)
{
    const double n = glideSteps(steps);
    PointI p;
    p.y = truncToPixels(std::trunc(target.y / n * i) + std::trunc(start.y / n * (n - i)));
    p.x = truncToPixels(std::trunc(target.x / n * i) + std::trunc(start.x / n * (n - i)));
    return p;
}

PointI glideTarget(std::int32_t windowOuterWidth, std::int32_t windowOuterHeight, std::int32_t downX,
                   std::int32_t downY)
{
    return {windowOuterWidth / 2 - downX, windowOuterHeight / 2 - downY};
}

} // namespace tavo
