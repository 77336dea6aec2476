// Pictures and comparisons shared by the reduction's tests.
#pragma once

#include "imaging/Bitmap.h"
#include "imaging/ZoomOutKernels.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tavo::testing {

// Every implementation of the reduction: the reference and each kernel set
// this processor runs.
struct ShrinkImplementation {
    std::string name;
    std::function<void(Bitmap&, double)> shrink;
    const zoomout::Kernels* kernels; // null for the reference
};
std::vector<ShrinkImplementation> shrinkImplementations();

// A 24-bit picture of w × h from the blue, green, red bytes of each pixel, row by row.
Bitmap pictureOf(std::int32_t w, std::int32_t h, const std::vector<std::uint8_t>& bgr,
                 RowOrder order = RowOrder::TopDown);
// The blue bytes of row y.
std::vector<int> blueRow(const Bitmap& picture, std::int32_t y);
// Random pixels (and palette or masks) of any bit count.
Bitmap randomPicture(std::mt19937& random, std::int32_t w, std::int32_t h, int bitCount, RowOrder order);
// Empty when equal, otherwise where they first differ.
std::string firstDifference(const Bitmap& a, const Bitmap& b);

} // namespace tavo::testing
