#include "Dib.h"

#include <cstring>

namespace tavo::spi {

std::int32_t planDib(std::uint32_t width, std::uint32_t height, DibLayout& layout)
{
    if (width == 0 || height == 0)
        return SPI_OUT_OF_ORDER;
    if (width > kMaxDimension || height > kMaxDimension)
        return SPI_NO_MEMORY;
    // Both sides are below 2^21, so these products cannot overflow 64 bits.
    const std::uint64_t stride = (std::uint64_t(width) * layout.bitCount + 31) / 32 * 4;
    const std::uint64_t image = stride * height;
    if (image > kMaxImageBytes)
        return SPI_NO_MEMORY;
    layout.width = std::int32_t(width);
    layout.height = std::int32_t(height);
    layout.stride = std::size_t(stride);
    layout.imageBytes = std::size_t(image);
    return SPI_ALL_RIGHT;
}

namespace {
void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
}
void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}
} // namespace

void writeInfoHeader(const DibLayout& layout, void* info)
{
    auto* header = static_cast<std::uint8_t*>(info);
    std::memset(header, 0, 40);
    put32(header + 0, 40);
    put32(header + 4, std::uint32_t(layout.width));
    put32(header + 8, std::uint32_t(layout.height)); // positive: bottom-up rows
    put16(header + 12, 1);
    put16(header + 14, layout.bitCount);
    put32(header + 20, std::uint32_t(layout.imageBytes));
    put32(header + 24, std::uint32_t(layout.xPelsPerMeter));
    put32(header + 28, std::uint32_t(layout.yPelsPerMeter));
    put32(header + 32, layout.colors);
}

} // namespace tavo::spi
