// Expansion of run-length compressed bitmap data (RLE8, RLE4) into a 32-bit
// bitmap with the colour table applied, as the display system did it.
#pragma once

#include "imaging/Bitmap.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tavo {

// Expands data into target, a zero-filled 32-bit bottom-up bitmap of the
// picture's size: the first row of the data is its bottom row. bitsPerIndex is
// 8 or 4. Pixels that the data skips (delta, early end of line) stay zero; runs
// beyond a row's end are dropped; data that runs out simply ends the picture.
void expandBmpRunLength(std::span<const std::uint8_t> data, int bitsPerIndex,
                        const std::vector<PaletteEntry>& colorTable, Bitmap& target);

} // namespace tavo
