// Inside the quarter turns: the kernels that move a band of stored rows into
// the upright picture, one stored column to one upright row. The vector sets
// (SSSE3, AVX2) move three-byte pixels; what they leave, and every other pixel
// size, takes the portable loop. Every set gives the same bytes; only the
// speed differs. Tests use this header to run each set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tavo::turn {

// Stored column x of the band becomes a run of count pixels in one upright
// row, starting at runs + x × stepX and written from its lowest address up:
// firstRow is the band row whose pixel lands there, nextRow the step (in
// bytes, either sign) to the band row of the pixel after it. Columns fromX to
// toX - 1.
template <int BytesPerPixel>
void copyColumns(const std::uint8_t* firstRow, std::ptrdiff_t nextRow, std::int32_t fromX, std::int32_t toX,
                 std::int32_t count, std::uint8_t* runs, std::ptrdiff_t stepX) {
    for (std::int32_t x = fromX; x < toX; ++x) {
        std::uint8_t* to = runs + static_cast<std::ptrdiff_t>(x) * stepX;
        const std::uint8_t* from = firstRow + static_cast<std::ptrdiff_t>(x) * BytesPerPixel;
        for (std::int32_t i = 0; i < count; ++i, from += nextRow, to += BytesPerPixel)
            std::memcpy(to, from, BytesPerPixel);
    }
}

// The vector form of copyColumns<3> over columns 0 to width - 1: returns the
// first column it left to the portable loop. It reads up to 4 bytes past a
// band row's last pixel, which the band's slack must cover.
using Columns3 = std::int32_t (*)(const std::uint8_t* firstRow, std::ptrdiff_t nextRow, std::int32_t width,
                                  std::int32_t count, std::uint8_t* runs, std::ptrdiff_t stepX);

struct Kernels {
    const char* name;
    Columns3 columns3; // null in the portable set
};

const Kernels& portableKernels();
// Null when this processor lacks the instructions.
const Kernels* ssse3Kernels();
const Kernels* avx2Kernels();
// The fastest set this processor runs, and every set it runs.
const Kernels& bestKernels();
std::vector<const Kernels*> availableKernels();

} // namespace tavo::turn
