#include "viewer/core/TitleLine.h"

#include "imaging/PathParts.h"

#include <cmath>
#include <limits>

namespace tavo {

std::int64_t zoomPercentage(double zoom)
{
    const double percent = zoom * 100;
    if (std::isnan(percent))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (percent >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (percent <= -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(percent);
}

std::string titleLine(std::string_view curFile, std::int32_t width, std::int32_t height,
                      double zoom)
{
    std::string title = "TavoTavo [";
    title += fileNamePart(curFile);
    title += "(";
    title += std::to_string(width);
    title += " × ";
    title += std::to_string(height);
    title += ")] - 拡大率 ";
    title += std::to_string(zoomPercentage(zoom));
    title += "%";
    return title;
}

} // namespace tavo
