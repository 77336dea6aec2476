// JPEG decoding on libjpeg-turbo into the device-independent bitmap of the
// plug-in interface, for the extensions the viewer's own decoder leaves to
// plug-ins.
#pragma once

#include "spi/common/Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

// True when the data starts with a JPEG start-of-image marker.
bool hasJpegSignature(const void* data, std::size_t size);

struct JpegPictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t xDensity = 0; // pixels per inch, 0 when the file gives none
    std::uint16_t yDensity = 0;
    std::int16_t bitCount = 0;  // 8 for greyscale, 24 otherwise
};

std::int32_t readJpegInfo(const std::uint8_t* data, std::size_t size, JpegPictureInfo& info);

// Greyscale files give 8-bit rows with a grey colour table, all others 24-bit
// BGR rows (CMYK and YCCK converted); rows are bottom-up. Data that ends early
// is decoded as far as it goes.
std::int32_t decodeJpeg(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                        const Progress& progress);

} // namespace tavo::spi
