// Small PNG and JPEG files made by the tests with libspng and libjpeg.
#pragma once

#include "PluginHarness.h"

#include <cstdint>
#include <vector>

namespace tavo::spitest {

struct PngLayout {
    std::uint32_t width = 1, height = 1;
    int colorType = 2, bitDepth = 8;
    Bytes pixels; // rows as stored in the file (big-endian samples, packed bits)
    std::vector<std::uint8_t> palette; // r, g, b triples
    std::vector<std::uint8_t> paletteAlpha;
    bool trns = false;
    std::uint16_t trnsGrey = 0, trnsRed = 0, trnsGreen = 0, trnsBlue = 0;
    std::uint32_t pixelsPerMeter = 0;
};
Bytes encodePng(const PngLayout& layout);

// Rewrites the IHDR's width and height (and its checksum) of a PNG file.
Bytes withIhdrSize(Bytes png, std::uint32_t width, std::uint32_t height);

enum class JpegKind { Rgb, Grey, Cmyk, Ycck };
// pixels: width x height samples of 3 (Rgb), 1 (Grey) or 4 (Cmyk, Ycck) bytes.
Bytes encodeJpeg(JpegKind kind, int width, int height, const Bytes& pixels, bool progressive = false);

} // namespace tavo::spitest
