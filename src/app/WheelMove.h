// One mouse-wheel event moves the image control by a tenth of its height:
// down for a forward turn (away from the user), up otherwise, whatever the
// distance, so a touchpad's many small events each count once.
#pragma once

#include <cstdint>

namespace tavo {

// The image control's new top; `delta` is the event's vertical distance.
constexpr std::int32_t wheelMovedTop(std::int32_t top, std::int32_t height, int delta)
{
    const std::int32_t step = height / 10;
    return delta > 0 ? top + step : top - step;
}

} // namespace tavo
