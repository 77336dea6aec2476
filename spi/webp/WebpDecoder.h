// WebP decoding on libwebp into the device-independent bitmap of the plug-in
// interface. Kept apart from the entry points so that the fuzz target and the
// benchmark run the same code with blocks of their own.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with a RIFF header of form "WEBP".
bool hasWebpSignature(const void* data, std::size_t size);

struct WebpPictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t xDensity = 0; // WebP carries no density: always 0
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 24;
};

std::int32_t readWebpInfo(const std::uint8_t* data, std::size_t size, WebpPictureInfo& info);

// Decodes a still picture (lossy, lossless, with or without alpha) or the
// first frame of an animation on its canvas into 24-bit BGR rows, bottom-up;
// transparency is composed over kBackground.
std::int32_t decodeWebp(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress);

} // namespace tavo::spi
