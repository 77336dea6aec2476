// The rows a decoder hands over land where a plain per-pixel reference puts
// them, for every orientation, pixel size, odd and band-crossing sizes, padded
// and bottom-up rows, and rows handed over in uneven batches, with each set of
// turn kernels this processor runs. The padding between upright rows keeps
// its bytes. With several bands, rows are placed as late as the decoder's
// second thread may place them, several bands at once at the end.
#include "imaging/OrientedRows.h"

#include "imaging/TurnKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tavo {
namespace {

constexpr std::uint8_t kPadding = 0xA5;

std::uint8_t storedByte(std::int32_t x, std::int32_t y, int channel) {
    return static_cast<std::uint8_t>(x * 7 + y * 131 + channel * 61 + (x * y >> 3));
}

// Upright (u, v) of stored (x, y), as the EXIF orientation defines it.
void uprightOf(int orientation, std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y,
               std::int32_t& u, std::int32_t& v) {
    switch (orientation) {
    case 2: u = width - 1 - x; v = y; break;
    case 3: u = width - 1 - x; v = height - 1 - y; break;
    case 4: u = x; v = height - 1 - y; break;
    case 5: u = y; v = x; break;
    case 6: u = height - 1 - y; v = x; break;
    case 7: u = height - 1 - y; v = width - 1 - x; break;
    case 8: u = y; v = width - 1 - x; break;
    default: u = x; v = y; break;
    }
}

void checkPlacement(const turn::Kernels& kernels, int orientation, std::int32_t width, std::int32_t height, int pixel,
                    bool bottomUp, int bands) {
    SCOPED_TRACE(testing::Message() << kernels.name << ", orientation " << orientation << ", " << width << " x "
                                    << height << ", " << pixel << " bytes, " << (bottomUp ? "bottom-up" : "top-down")
                                    << ", " << bands << " bands");
    const bool swapped = orientation >= 5 && orientation <= 8;
    const std::int32_t uprightWidth = swapped ? height : width;
    const std::int32_t uprightHeight = swapped ? width : height;
    // Rows padded beyond the 4-byte rounding, so that stray writes show.
    const std::size_t stride = (static_cast<std::size_t>(uprightWidth) * pixel + 3) / 4 * 4 + 8;
    std::vector<std::uint8_t> memory(stride * static_cast<std::size_t>(uprightHeight), kPadding);
    std::uint8_t* top = bottomUp ? memory.data() + stride * static_cast<std::size_t>(uprightHeight - 1) : memory.data();
    const auto distance = bottomUp ? -static_cast<std::ptrdiff_t>(stride) : static_cast<std::ptrdiff_t>(stride);

    OrientedRows rows(orientation, width, height, pixel, top, distance, kernels, bands);
    std::int32_t placed = 0;
    for (std::int32_t y = 0, batch = 1; y < height; batch = batch % 5 + 1) {
        const std::int32_t count = std::min(batch, rows.rowsAvailable(y));
        ASSERT_GT(count, 0);
        if (bands > 1 && rows.placedBefore(y) > placed) {
            rows.place(placed, rows.placedBefore(y));
            placed = rows.placedBefore(y);
        }
        for (std::int32_t i = y; i < y + count; ++i) {
            std::uint8_t* row = rows.row(i);
            for (std::int32_t x = 0; x < width; ++x)
                for (int c = 0; c < pixel; ++c)
                    row[x * pixel + c] = storedByte(x, i, c);
        }
        if (bands == 1)
            rows.finish(y, count);
        y += count;
    }
    if (bands > 1) {
        ASSERT_TRUE(rows.placeable(height));
        rows.place(placed, height);
    }

    std::vector<std::uint8_t> expected(memory.size(), kPadding);
    std::uint8_t* expectedTop = expected.data() + (top - memory.data());
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::int32_t u = 0;
            std::int32_t v = 0;
            uprightOf(orientation, width, height, x, y, u, v);
            for (int c = 0; c < pixel; ++c)
                expectedTop[v * distance + u * pixel + c] = storedByte(x, y, c);
        }
    }
    const auto mismatch = std::mismatch(memory.begin(), memory.end(), expected.begin());
    EXPECT_TRUE(mismatch.first == memory.end()) << "first wrong byte at offset " << (mismatch.first - memory.begin());
}

TEST(OrientedRows, EveryOrientationPlacesEveryPixelAndKeepsThePadding) {
    // Sizes below, at and across the band of rows and the groups of four
    // columns and of four and eight rows the turns work in, with remainders
    // of every kind.
    const std::int32_t sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {4, 4}, {5, 3}, {3, 5}, {33, 32}, {32, 33},
                                     {37, 70}, {70, 37}, {64, 97}, {101, 66}, {13, 64}, {22, 131}, {7, 139},
                                     {5, 300}};
    for (const turn::Kernels* kernels : turn::availableKernels())
        for (int orientation = 0; orientation <= 9; ++orientation)
            for (const auto& size : sizes)
                for (int pixel : {1, 3, 4})
                    for (bool bottomUp : {false, true})
                        for (int bands : {1, 3})
                            checkPlacement(*kernels, orientation, size[0], size[1], pixel, bottomUp, bands);
}

} // namespace
} // namespace tavo
