// Bitmap files built byte by byte for the reader's tests.
#pragma once

#include "imaging/Bitmap.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tavo::test {

using Bytes = std::vector<std::uint8_t>;

struct BmpFile {
    std::uint32_t headerSize = 40;   // 12 writes the OS/2 core header
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<PaletteEntry> colors; // 3 bytes each for the core header
    std::optional<ColorMasks> masks;  // after a 40-byte header, inside a longer one
    Bytes gap;                        // between the colour table and the pixels
    Bytes pixels;

    // The whole file; the header's offset field points past the gap.
    Bytes bytes() const
    {
        Bytes info;
        if (headerSize == 12) {
            put32(info, 12);
            put16(info, static_cast<std::uint16_t>(width));
            put16(info, static_cast<std::uint16_t>(height));
            put16(info, planes);
            put16(info, bitCount);
        } else {
            put32(info, headerSize);
            put32(info, static_cast<std::uint32_t>(width));
            put32(info, static_cast<std::uint32_t>(height));
            put16(info, planes);
            put16(info, bitCount);
            put32(info, compression);
            put32(info, imageSize);
            put32(info, 2835);
            put32(info, 2835);
            put32(info, colorsUsed);
            put32(info, 0);
            if (masks && headerSize >= 52) {
                put32(info, masks->red);
                put32(info, masks->green);
                put32(info, masks->blue);
            }
            info.resize(headerSize, 0);
        }
        if (masks && headerSize == 40) {
            put32(info, masks->red);
            put32(info, masks->green);
            put32(info, masks->blue);
        }
        for (const PaletteEntry& c : colors) {
            info.insert(info.end(), {c.blue, c.green, c.red});
            if (headerSize != 12)
                info.push_back(c.reserved);
        }
        Bytes file{'B', 'M'};
        const auto offset = static_cast<std::uint32_t>(14 + info.size() + gap.size());
        put32(file, offset + static_cast<std::uint32_t>(pixels.size()));
        put32(file, 0);
        put32(file, offset);
        file.insert(file.end(), info.begin(), info.end());
        file.insert(file.end(), gap.begin(), gap.end());
        file.insert(file.end(), pixels.begin(), pixels.end());
        return file;
    }

    static void put16(Bytes& out, std::uint16_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
    static void put32(Bytes& out, std::uint32_t v)
    {
        out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
    }
};

// A colour table of n distinct entries.
inline std::vector<PaletteEntry> testColors(int n)
{
    std::vector<PaletteEntry> colors;
    for (int i = 0; i < n; ++i)
        colors.push_back({std::uint8_t(i * 3 + 1), std::uint8_t(200 - i), std::uint8_t(i * 7 + 2), 0});
    return colors;
}

// One row padded to 4 bytes.
inline Bytes paddedRow(Bytes row)
{
    row.resize((row.size() + 3) / 4 * 4, 0);
    return row;
}

} // namespace tavo::test
