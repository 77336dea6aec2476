#include "plugins/DibImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tavo {

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kMaxColours = 65536;
constexpr uint32_t kBitFields = 3;

uint32_t readU32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void writeU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Copies up to size bytes of source and zero-fills the rest of the size.
void copyBounded(uint8_t* target, std::span<const uint8_t> source, std::size_t size)
{
    const std::size_t available = std::min(source.size(), size);
    if (available != 0)
        std::memcpy(target, source.data(), available);
    std::memset(target + available, 0, size - available);
}

} // namespace

std::optional<DibLayout> dibLayout(std::span<const uint8_t> info)
{
    if (info.size() < kInfoHeaderSize)
        return std::nullopt;
    DibLayout layout;
    layout.width = static_cast<int32_t>(readU32(info.data() + 4));
    layout.height = static_cast<int32_t>(readU32(info.data() + 8));
    layout.bitCount = static_cast<uint16_t>(info[14] | info[15] << 8);
    layout.colours = readU32(info.data() + 32);
    if (layout.colours == 0) {
        switch (layout.bitCount) {
        case 1: layout.colours = 2; break;
        case 4: layout.colours = 16; break;
        case 8: layout.colours = 256; break;
        default: break;
        }
    }
    if (layout.colours > kMaxColours)
        return std::nullopt;
    // Row size in 32-bit arithmetic as the header's numbers give it; a row that
    // would not fit 32 bits is no picture.
    const int64_t bitsPerRow = int64_t{layout.width} * layout.bitCount + 31;
    if (bitsPerRow > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    layout.rowSize = (bitsPerRow / 32) * 4; // truncates toward zero
    // A negative width gives no rows; the BMP reader then judges the header.
    layout.imageSize = layout.rowSize > 0 ? std::llabs(int64_t{layout.height}) * layout.rowSize : 0;
    // Bit-field masks follow the header in the information block, as in a
    // bitmap file; leaving them out would make the reader take the first 12
    // pixel bytes for masks.
    const uint32_t compression = readU32(info.data() + 16);
    layout.masks = compression == kBitFields && (layout.bitCount == 16 || layout.bitCount == 32);
    layout.headerSize = static_cast<int64_t>(kInfoHeaderSize) + (layout.masks ? 12 : 0) + 4 * int64_t{layout.colours};
    const int64_t fileSize = static_cast<int64_t>(kFileHeaderSize) + layout.headerSize + layout.imageSize;
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return layout;
}

std::optional<DibParts> dibParts(std::span<const uint8_t> info, std::span<const uint8_t> bits)
{
    const auto layout = dibLayout(info);
    if (!layout)
        return std::nullopt;
    const auto headerSize = static_cast<std::size_t>(layout->headerSize);
    const auto imageSize = static_cast<std::size_t>(layout->imageSize);
    DibParts parts;
    parts.head.resize(kFileHeaderSize + headerSize);
    uint8_t* p = parts.head.data();
    p[0] = 0x42;
    p[1] = 0x4D;
    writeU32(p + 2, static_cast<uint32_t>(kFileHeaderSize + headerSize + imageSize));
    writeU32(p + 6, 0);
    writeU32(p + 10, static_cast<uint32_t>(kFileHeaderSize + headerSize));
    copyBounded(p + kFileHeaderSize, info, headerSize);
    // Pixel bytes beyond a short block are left out rather than added as
    // zeros: the reader leaves the rows the data does not reach zero.
    parts.pixels = bits.first(std::min(imageSize, bits.size()));
    return parts;
}

} // namespace tavo
