// The device-independent bitmap a plug-in hands to the host: a 40-byte
// BITMAPINFOHEADER with its colour table in one block, the pixel rows in
// another. The decoders plan the layout first, so that every size is checked
// before anything is allocated.
#pragma once

#include "sdk/spi_plugin.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

struct Rgb {
    std::uint8_t red, green, blue;
};

// Transparent pixels are composed over this colour: the default work-area
// colour of a viewer (the button face of the desktop), since the host shows
// 24-bit pictures and ignores a fourth byte.
inline constexpr Rgb kBackground{240, 240, 240};

// Each side at most this many pixels, and the pixel block at most this many
// bytes: the host computes row size x height in signed 32-bit arithmetic.
inline constexpr std::uint32_t kMaxDimension = 1u << 20;
inline constexpr std::size_t kMaxImageBytes = std::size_t(1) << 30;

struct DibLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 24;
    std::uint32_t colors = 0;          // colour-table entries that follow the header
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::size_t stride = 0;            // bytes per row, a multiple of 4
    std::size_t imageBytes = 0;
    std::size_t infoBytes() const { return 40 + 4 * std::size_t(colors); }
};

// Fills stride and imageBytes; SPI_OUT_OF_ORDER for a zero side, SPI_NO_MEMORY
// for a picture beyond the limits above.
std::int32_t planDib(std::uint32_t width, std::uint32_t height, DibLayout& layout);

// Writes the header (bottom-up rows, BI_RGB) into the first 40 bytes of info;
// the caller writes the colour table after it.
void writeInfoHeader(const DibLayout& layout, void* info);

// Where a decoder puts the two blocks. Blocks stay owned by the allocator.
class DibAllocator {
public:
    virtual ~DibAllocator() = default;
    // A writable block, or nullptr when there is no memory.
    virtual void* allocateInfo(std::size_t bytes) = 0;
    virtual void* allocateBits(std::size_t bytes) = 0;
};

// The host's progress callback; a null callback never stops.
struct Progress {
    SPI_PROGRESS callback = nullptr;
    std::intptr_t lData = 0;
    // True when the host asks to stop.
    bool report(std::int32_t count, std::int32_t total) const
    {
        return callback != nullptr && callback(count, total, lData) != 0;
    }
};

// Composes one 8-bit channel value of opacity alpha over the background value.
inline std::uint8_t compose8(unsigned value, unsigned alpha, unsigned background)
{
    return std::uint8_t((value * alpha + background * (255 - alpha) + 127) / 255);
}

} // namespace tavo::spi
