// Area-average reduction of a picture by a ratio of at most 1, in 16.16 fixed
// point: every output pixel is the average of the source area it covers, partly
// covered source pixels counting with their covered fraction. Two passes, first
// the width and then the height, on 24-bit pixels (blue, green, red).
#pragma once

#include "imaging/Bitmap.h"
#include "platform/Errors.h"

#include <cstdint>

namespace tavo {

// A reduction outside what the fixed-point arithmetic can do: the picture is
// left exactly as it was.
class EShrinkRefused : public Exception {
public:
    enum class Reason { Ratio, EmptyTarget };
    explicit EShrinkRefused(Reason reason);
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// Reduces the picture in place to trunc(W × ratio) × trunc(H × ratio), 24 bits
// per pixel (other bit counts are converted first, the palette applied). Returns
// nothing. An empty picture is left as it is. Throws EShrinkRefused, with the
// picture unchanged, for a ratio that is not in (0, 1] (NaN included) or a
// target side of 0. Every size a bitmap may have is reduced: sums that 32 bits
// cannot hold (sides of 32768 or more, factors above 128) are formed in 64
// bits, which give the same bytes wherever 32 bits suffice. When a pass cannot
// get its working tables it writes nothing and the reduction goes on silently:
// the picture then holds the top-left part of what that pass was given. Any
// other error (EOutOfMemory for the bitmaps) passes on with the picture unchanged.
void ShrinkBitmap(Bitmap& picture, double ratio);

// Width pass: destination (24 bits, the source's height, the target width, set
// by the caller) receives the source reduced in width. Returns false when the
// pass could not get its tables and so wrote nothing. Throws EShrinkRefused for
// a target wider than the source or empty, EInvalidGraphic for bitmaps that are not
// 24-bit or whose other side differs.
bool ShrinkHorizontal(const Bitmap& source, Bitmap& destination);

// Height pass: destination (24 bits, the source's width, the target height).
// Returns and refuses as ShrinkHorizontal.
bool ShrinkVertical(const Bitmap& source, Bitmap& destination);

} // namespace tavo
