// GIF decoding on giflib into the device-independent bitmap of the plug-in
// interface. Kept apart from the entry points so that the fuzz target and the
// benchmark run the same code with blocks of their own.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with "GIF87a" or "GIF89a".
bool hasGifSignature(const void* data, std::size_t size);

struct GifPictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t xDensity = 0; // GIF carries no density: always 0
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 0;  // of the bitmap that decodeGif delivers: 8 or 24
};

// Reads the screen and the first frame's descriptor; SPI_ALL_RIGHT or an
// interface error code.
std::int32_t readGifInfo(const std::uint8_t* data, std::size_t size, GifPictureInfo& info);

// Decodes the first frame onto the logical screen, clipped to it. The screen outside the frame and transparent
// pixels show kBackground. 8-bit rows with a 256-entry colour table whenever
// a table entry is free for the background, else 24-bit BGR; rows bottom-up.
std::int32_t decodeGif(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                       const Progress& progress);

} // namespace tavo::spi
