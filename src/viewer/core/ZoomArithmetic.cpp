#include "viewer/core/ZoomArithmetic.h"

#include <cmath>
#include <limits>

namespace tavo {

std::int32_t truncToPixels(double value)
{
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value))
        return 0;
    if (value <= lowest)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= highest)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

ZoomView fitWidth(const ZoomInput& in)
{
    if (in.picture.isEmpty())
        return in.current;
    ZoomView view;
    view.bounds.width = in.workArea.width;
    view.bounds.height = truncToPixels(view.bounds.width * in.aspect);
    view.zoom = static_cast<double>(view.bounds.width) / in.picture.width;
    view.bounds.top = 0;
    view.bounds.left = 0;
    return view;
}

ZoomView fitWhole(const ZoomInput& in)
{
    if (in.picture.isEmpty())
        return in.current;
    ZoomView view;
    const double r = static_cast<double>(in.workArea.height) / in.workArea.width;
    if (r > in.aspect) {
        view.bounds.width = in.workArea.width;
        view.bounds.height = truncToPixels(view.bounds.width * in.aspect);
        view.bounds.top = truncToPixels((static_cast<double>(in.workArea.height) - view.bounds.height) / 2.0);
        view.bounds.left = 0;
    } else {
        view.bounds.height = in.workArea.height;
        view.bounds.width = truncToPixels(view.bounds.height / in.aspect);
        view.bounds.top = 0;
        view.bounds.left = truncToPixels((static_cast<double>(in.workArea.width) - view.bounds.width) / 2.0);
    }
    view.zoom = static_cast<double>(view.bounds.width) / in.picture.width;
    return view;
}

ZoomView originalSize(const ZoomInput& in)
{
    if (in.picture.isEmpty())
        return in.current;
    ZoomView view;
    view.bounds.width = in.picture.width;
    view.bounds.height = in.picture.height;
    view.zoom = static_cast<double>(view.bounds.width) / in.picture.width;
    view.bounds.top = 0;
    view.bounds.left = 0;
    return view;
}

namespace {
// Moves one axis so that the picture point under the work area's centre stays
// there. A control of no size on that axis has no such point: the picture is
// then centred on the work area's centre instead.
std::int32_t keepCentre(std::int32_t oldStart, std::int32_t oldSize, std::int32_t newSize,
                        std::int32_t workSize)
{
    const std::int32_t centre = truncToPixels(workSize / 2.0);
    if (oldSize == 0)
        return truncToPixels(centre - newSize / 2.0);
    const double factor = static_cast<double>(newSize) / oldSize - 1;
    return truncToPixels(oldStart - static_cast<double>(
        truncToPixels((centre - static_cast<double>(oldStart)) * factor)));
}
} // namespace

ZoomView fixedRatio(const ZoomInput& in, int percent)
{
    if (in.picture.isEmpty())
        return in.current;
    ZoomView view;
    view.zoom = percent / 100.0;
    const ImageBounds old = in.current.bounds;
    view.bounds.width = truncToPixels(in.picture.width * view.zoom);
    view.bounds.height = truncToPixels(in.picture.height * view.zoom);
    if (view.bounds.width > kZoomLimitWidth && view.bounds.height > kZoomLimitHeight) {
        if (in.aspect > kZoomLimitAspect) {
            view.bounds.height = kZoomLimitHeight;
            view.bounds.width = truncToPixels(kZoomLimitHeight / in.aspect);
        } else {
            view.bounds.width = kZoomLimitWidth;
            view.bounds.height = truncToPixels(kZoomLimitWidth * in.aspect);
        }
    }
    view.bounds.left = keepCentre(old.left, old.width, view.bounds.width, in.workArea.width);
    view.bounds.top = keepCentre(old.top, old.height, view.bounds.height, in.workArea.height);
    return view;
}

} // namespace tavo
