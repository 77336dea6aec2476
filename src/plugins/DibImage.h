// The Windows bitmap file that a plug-in's decoded picture is read as by the
// BMP reader: a file header, the information block, the pixel rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavo {

struct DibLayout {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t colours = 0;     // colour-table entries after the 40-byte header
    int64_t rowSize = 0;      // bytes per row, padded to 4
    int64_t imageSize = 0;    // |height| rows
    bool masks = false;       // three bit-field masks follow the header
    int64_t headerSize = 0;   // 40 (+ 12 for masks) + 4 × colours
};

// The layout an information block declares; nothing when the block is shorter
// than the 40-byte header, declares more than 65536 colours, or its sizes do not
// fit a bitmap file.
std::optional<DibLayout> dibLayout(std::span<const uint8_t> info);

// The bitmap file for an information block and a pixel block, in two pieces
// that the BMP reader reads as one (ReadBmpStream(head, pixels)): the file
// header with the information block, and the pixel block in place. Each block
// is read only within its own size: colour entries beyond the end of a short
// information block become zero, and a short pixel block gives a file that
// ends early, whose missing rows the BMP reader leaves zero. The size field of
// the file header is the declared one. Nothing when dibLayout gives nothing.
struct DibParts {
    std::vector<uint8_t> head;       // file header, information header, masks, colour table
    std::span<const uint8_t> pixels; // the pixel block, cut to the declared image size
};
std::optional<DibParts> dibParts(std::span<const uint8_t> info, std::span<const uint8_t> bits);

} // namespace tavo
