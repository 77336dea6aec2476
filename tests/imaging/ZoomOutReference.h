// The reduction written step by step as its definition reads, with no regard
// for speed: the oracle that the fast kernels must match byte for byte. Its
// sums are 64-bit, which within the 32-bit limits (sides below 32768, factors
// up to 128) gives exactly the 32-bit results, and goes on beyond them.
#pragma once

#include "imaging/Bitmap.h"

#include <cstdint>
#include <vector>

namespace tavo::reference {

struct WidthTables {
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> fraction;
    std::int64_t divisor = 0;
};
WidthTables widthTables(std::int32_t sourceWidth, std::int32_t targetWidth);

void shrinkHorizontal(const Bitmap& source, Bitmap& destination);
void shrinkVertical(const Bitmap& source, Bitmap& destination);
// No refusals: the target sides must not be 0.
void shrinkBitmap(Bitmap& picture, double ratio);

} // namespace tavo::reference
