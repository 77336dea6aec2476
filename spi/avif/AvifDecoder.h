// AVIF decoding on libavif into the device-independent bitmap of the plug-in
// interface: the primary image (the first frame of a sequence) with its
// clean aperture, rotation and mirroring applied, as 24-bit BGR. Kept apart
// from the entry points for the fuzz target and the benchmark.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with a file type box naming an AVIF brand.
bool isAvifFile(const std::uint8_t* data, std::size_t size);

struct AvifPictureInfo {
    std::int32_t width = 0;  // as shown, after the transformations
    std::int32_t height = 0;
    std::uint16_t xDensity = 0;
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 24;
};

std::int32_t readAvifInfo(const std::uint8_t* data, std::size_t size, AvifPictureInfo& info);

// Decodes the picture: samples of 10 or 12 bits are converted straight to 8,
// alpha is composed over kBackground, rows are bottom-up.
std::int32_t decodeAvif(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress);

} // namespace tavo::spi
