// The rows of a decoded picture, top row first, written into the bottom-up
// bitmap block: each row converted to BGR, its padding cleared, and its
// completion reported to the host.
#pragma once

#include "ColourRows.h"
#include "Dib.h"

#include <cstddef>
#include <cstdint>

namespace tavo::spi {

class BottomUpRows {
public:
    BottomUpRows(const DibLayout& layout, std::uint8_t* bits, const Progress& progress)
        : layout_(layout), bits_(bits), progress_(progress)
    {
    }

    // Where row y (0 is the top) of the picture goes.
    std::uint8_t* at(std::int32_t y) const
    {
        return bits_ + std::size_t(layout_.height - 1 - y) * layout_.stride;
    }
    // Row y has been written to at(y) as BGR: clears its padding and reports
    // it; false when the host asks to stop.
    bool done(std::int32_t y) const;
    // Row y converted from width pixels of src into at(y), then done(y).
    bool put(std::int32_t y, const std::uint8_t* src, SampleOrder order) const
    {
        rowToBgr(src, order, std::size_t(layout_.width), at(y));
        return done(y);
    }

private:
    DibLayout layout_;
    std::uint8_t* bits_;
    Progress progress_;
};

} // namespace tavo::spi
