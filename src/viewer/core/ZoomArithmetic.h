// The zoom commands as pure arithmetic: from the work area's size, the picture's
// size, its aspect and the image control's current bounds to the new bounds and
// display ratio. The widgets only gather the inputs and apply the result.
#pragma once

#include <cstdint>

namespace tavo {

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The image control's bounds relative to the work area's top-left corner.
struct ImageBounds {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const ImageBounds&, const ImageBounds&) = default;
};

// What a zoom command leaves behind: the control's bounds and dblZoom.
struct ZoomView {
    ImageBounds bounds;
    double zoom = 1.0;
    friend bool operator==(const ZoomView&, const ZoomView&) = default;
};

struct ZoomInput {
    PixelSize workArea;   // the work area's full outer size
    PixelSize picture;    // the display picture at full size
    double aspect = 0.0;  // dblAspect: picture height / width
    ZoomView current;     // bounds and ratio before the command
};

// The fixed ratios cap a result only when it is both wider and higher than this.
inline constexpr std::int32_t kZoomLimitWidth = 4096;
inline constexpr std::int32_t kZoomLimitHeight = 3072;
inline constexpr double kZoomLimitAspect = 0.75;

// Floating point to pixels, truncating toward zero. Values beyond the 32-bit
// range saturate and NaN gives 0, so no undefined number reaches a bound.
std::int32_t truncToPixels(double value);

// Each command returns input.current unchanged for an empty picture (width or
// height 0, left by a failed load): there is no ratio to compute.
ZoomView fitWidth(const ZoomInput& input);
ZoomView fitWhole(const ZoomInput& input);
ZoomView originalSize(const ZoomInput& input);
// percent: the menu item's tag (400, 300, ... 20).
ZoomView fixedRatio(const ZoomInput& input, int percent);

} // namespace tavo
