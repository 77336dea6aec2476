// Everything in a bitmap file before its pixels: the file header, the
// information header (OS/2 core form widened), the bit-field masks and the
// colour table, validated as a whole before any pixel memory is allocated.
#pragma once

#include "imaging/Bitmap.h"
#include "imaging/ByteReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavo {

enum class BmpCompression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

struct BmpLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;        // rows, whatever their direction
    RowOrder rowOrder = RowOrder::BottomUp;
    int bitCount = 0;
    BmpCompression compression = BmpCompression::Rgb;
    std::vector<PaletteEntry> colorTable;
    ColorMasks masks;               // only for bit-field compression
    std::size_t pixelStart = 0;     // directly after the colour table
    std::uint64_t pixelBytes = 0;   // the image-size field, or padded rows × height

    bool isRunLength() const
    {
        return compression == BmpCompression::Rle8 || compression == BmpCompression::Rle4;
    }
    bool isEmpty() const { return width == 0 || height == 0; }
    // The bit count of the bitmap made: run-length data expands to 32 bits.
    int outputBitCount() const { return isRunLength() ? 32 : bitCount; }
};

// Reads and checks the headers, masks and colour table from the reader's
// position, which is left at the first pixel byte. Throws EInvalidGraphic for
// what the reader refuses and EReadError for data that ends inside them.
BmpLayout readBmpLayout(ByteReader& reader);

// The most bytes of headers, masks and colour table that a file whose
// information header has the given size can need.
std::uint64_t maxBmpLayoutBytes(std::uint32_t infoHeaderSize);

} // namespace tavo
