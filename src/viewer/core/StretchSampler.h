// Nearest-neighbour sampling of a picture onto part of a control that shows it
// stretched to its own size. Only the requested part is computed, so the cost
// follows the exposed area, not the control's or the picture's size.
#pragma once

#include "imaging/Bitmap.h"
#include "viewer/core/ZoomArithmetic.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavo {

// The source pixel for destination pixel d of a control `control` pixels long
// showing `source` pixels: the one under d's centre. 0 when either is empty.
std::int32_t nearestSource(std::int32_t d, std::int32_t control, std::int32_t source);

class StretchSampler {
public:
    StretchSampler() = default;
    // 8-bit, 24-bit and 32-bit (8-8-8) pictures are read in place, sharing
    // their pixels; every other format is converted to 24 bits once, here.
    explicit StretchSampler(const Bitmap& picture);

    bool isEmpty() const { return pixels_.isEmpty(); }

    // Fills part.height rows of part.width pixels, 0xFFRRGGBB each, rowWords
    // apart: the part of a control of the given size (part relative to the
    // control's top-left corner) showing the picture stretched to it. Pixels
    // of the part outside the control are left as they are.
    void sample(PixelSize control, const ImageBounds& part, std::uint32_t* out,
                std::size_t rowWords) const;

private:
    Bitmap pixels_;
    std::array<std::uint32_t, 256> palette_{};  // 8-bit: index to 0xFFRRGGBB
};

} // namespace tavo
