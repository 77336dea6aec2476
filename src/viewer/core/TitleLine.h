// The window's title line: file name, picture size and display ratio.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavo {

// dblZoom × 100 truncated toward zero (0.999 gives 99, never rounded up).
// NaN gives 0 and values beyond the 64-bit range saturate.
std::int64_t zoomPercentage(double zoom);

// "TavoTavo [" name "(" w " × " h ")] - 拡大率 " percentage "%", the name being
// the file-name part of curFile (empty before the first load).
std::string titleLine(std::string_view curFile, std::int32_t width, std::int32_t height,
                      double zoom);

} // namespace tavo
