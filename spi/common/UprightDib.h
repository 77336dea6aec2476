// Plug-ins deliver pictures upright and in sRGB, as the viewer's own decoders
// do: the picture's EXIF orientation turns the bitmap, and its embedded ICC
// profile is converted (see imaging/SrgbTransform.h). These are the parts
// every plug-in shares for the bottom-up bitmap of the interface.
#pragma once

#include "Dib.h"
#include "imaging/OrientedRows.h"

#include <cstdint>

namespace tavo::spi {

// planDib for the picture shown upright: the stored sides, swapped for the
// quarter turns (orientations 5 to 8).
std::int32_t planUprightDib(int orientation, std::uint32_t storedWidth, std::uint32_t storedHeight,
                            DibLayout& layout);

// Where a decoder writes the stored rows, top row first, of a picture whose
// upright bitmap has the given layout and pixel block. Throws std::bad_alloc
// when the band of a quarter turn cannot be had.
class UprightRows {
public:
    UprightRows(int orientation, const DibLayout& upright, std::uint8_t* bits, int bytesPerPixel);

    std::int32_t storedWidth() const { return storedWidth_; }
    std::int32_t storedHeight() const { return storedHeight_; }
    // Stored row y (storedWidth × bytesPerPixel bytes, padded to 4). At most
    // rowsAvailable(y) rows may be written before they are finished.
    std::int32_t rowsAvailable(std::int32_t y) const { return rows_.rowsAvailable(y); }
    std::uint8_t* row(std::int32_t y) { return rows_.row(y); }
    void finish(std::int32_t first, std::int32_t count) { rows_.finish(first, count); }
    // After the last row: the padding of upright rows that a quarter turn
    // does not write is cleared.
    void complete();

private:
    DibLayout upright_;
    std::uint8_t* bits_;
    int bytesPerPixel_;
    std::int32_t storedWidth_;
    std::int32_t storedHeight_;
    OrientedRows rows_;
};

} // namespace tavo::spi
