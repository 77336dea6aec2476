// The reduction written step by step as its definition reads, with no regard
// for speed: the oracle that the fast kernels must match byte for byte.
#pragma once

#include "imaging/Bitmap.h"

#include <cstdint>
#include <vector>

namespace tavo::reference {

struct WidthTables {
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> fraction;
    std::int32_t divisor = 0;
};
WidthTables widthTables(std::int32_t sourceWidth, std::int32_t targetWidth);

void shrinkHorizontal(const Bitmap& source, Bitmap& destination);
void shrinkVertical(const Bitmap& source, Bitmap& destination);
// Within the fixed-point limits only; no refusals.
void shrinkBitmap(Bitmap& picture, double ratio);

} // namespace tavo::reference
