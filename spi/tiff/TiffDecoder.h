// TIFF decoding on libtiff into the device-independent bitmap of the plug-in
// interface. Kept apart from the entry points so that the fuzz target and the
// benchmark run the same code with blocks of their own.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with a TIFF or BigTIFF header of either byte order.
bool hasTiffSignature(const void* data, std::size_t size);

struct TiffPictureInfo {
    std::int32_t width = 0;     // as shown, after the orientation tag
    std::int32_t height = 0;
    std::uint16_t xDensity = 0; // pixels per inch, 0 when the file gives none
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 24;
};

std::int32_t readTiffInfo(const std::uint8_t* data, std::size_t size, TiffPictureInfo& info);

// Decodes the first page, whatever its compression, sample size and colour
// model libtiff's RGBA interface reads, into 24-bit BGR rows, bottom-up, with
// the orientation tag applied; alpha is composed over kBackground.
std::int32_t decodeTiff(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress);

} // namespace tavo::spi
