// Interleaved rows from a decoding library into bitmap rows: channel order
// swapped to the bitmap's blue, green, red, samples of more than 8 bits
// rounded to 8, alpha composed over kBackground.
#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

enum class SampleOrder { Rgb, Rgba, Bgr, Bgra };

inline unsigned channelsOf(SampleOrder order)
{
    return order == SampleOrder::Rgb || order == SampleOrder::Bgr ? 3 : 4;
}

// One row of width 8-bit pixels to BGR.
void rowToBgr(const std::uint8_t* src, SampleOrder order, std::size_t width, std::uint8_t* dst);

// count 16-bit native-endian samples holding bits-deep values (9 to 16)
// rounded to 8 bits.
void reduceTo8(const std::uint16_t* src, unsigned bits, std::size_t count, std::uint8_t* dst);

// Rows that a library wrote top-down into the bitmap block itself, with the
// bitmap's stride, made bottom-up in place; with swapRedBlue each pixel of
// 3 bytes also gets its first and third byte exchanged. Reports each row done.
bool flipRowsInPlace(std::uint8_t* bits, const DibLayout& layout, bool swapRedBlue, const Progress& progress);

} // namespace tavo::spi
