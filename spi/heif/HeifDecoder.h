// HEIF/HEIC decoding on libheif into the device-independent bitmap of the
// plug-in interface: the primary image, with the rotation, mirroring and
// cropping its file asks for, as 24-bit BGR. Kept apart from the entry points
// for the fuzz target and the benchmark.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with a HEIF file type box naming an HEVC brand,
// or the generic HEIF brands without an AVIF one (AVIF has a plug-in of its own).
bool isHeifFile(const std::uint8_t* data, std::size_t size);

struct HeifPictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t xDensity = 0;
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 24;
};

std::int32_t readHeifInfo(const std::uint8_t* data, std::size_t size, HeifPictureInfo& info);

// Decodes the primary image: samples of 10 or 12 bits are rounded to 8,
// alpha is composed over kBackground, rows are bottom-up.
std::int32_t decodeHeif(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress);

} // namespace tavo::spi
