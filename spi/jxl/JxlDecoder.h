// JPEG XL decoding on libjxl into the device-independent bitmap of the
// plug-in interface: the first frame, with its orientation applied, as
// 24-bit BGR, or 8-bit with a grey ramp for greyscale pictures without
// alpha. Kept apart from the entry points for the fuzz target and the benchmark.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True for a bare JPEG XL codestream or the JPEG XL container.
bool isJxlFile(const std::uint8_t* data, std::size_t size);

struct JxlPictureInfo {
    std::int32_t width = 0;  // as shown, after the orientation
    std::int32_t height = 0;
    std::uint16_t xDensity = 0;
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 24;
};

std::int32_t readJxlInfo(const std::uint8_t* data, std::size_t size, JxlPictureInfo& info);

// Decodes the first frame with 8-bit samples; alpha is composed over
// kBackground; rows are bottom-up.
std::int32_t decodeJxl(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                       const Progress& progress);

} // namespace tavo::spi
