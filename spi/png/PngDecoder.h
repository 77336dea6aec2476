// PNG decoding on libspng into the device-independent bitmap of the plug-in
// interface. Kept apart from the entry points so that the fuzz target and the
// benchmark run the same code with blocks of their own.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with the PNG signature.
bool hasPngSignature(const void* data, std::size_t size);

struct PngPictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t xDensity = 0; // pixels per inch, 0 when the file gives none
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 0;  // of the bitmap that decodePng delivers: 8 or 24
};

// Reads the header chunks; SPI_ALL_RIGHT or an interface error code.
std::int32_t readPngInfo(const std::uint8_t* data, std::size_t size, PngPictureInfo& info);

// Decodes the whole picture: palettised and greyscale files without alpha
// give 8-bit rows with a 256-entry colour table, every other file 24-bit BGR
// rows; transparency is composed over kBackground. Rows are bottom-up.
std::int32_t decodePng(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                       const Progress& progress);

} // namespace tavo::spi
