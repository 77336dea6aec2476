// Any byte string through the JPEG decoder, in both pixel modes: it must decode
// or fail with one of our errors, never crash or read out of bounds.
#include "imaging/JpegDecoder.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Odd sizes exercise the 8-bit mode (two-pass quantisation), even ones 24 bits.
    tavo::setJpegScreenDepth(size % 2 ? 8 : 24);
    try {
        tavo::TJPEGImage image;
        image.loadFromMemory(data, size);
        // Huge headers over a few bytes decode to their end through the made-up
        // end marker; cap the size so each run stays quick and within memory.
        if (static_cast<std::uint64_t>(image.width()) * static_cast<std::uint64_t>(image.height()) > (1u << 22))
            return 0;
        const tavo::Bitmap& bitmap = image.bitmap();
        volatile std::uint8_t sink = bitmap.isEmpty() ? 0 : bitmap.row(bitmap.height() - 1)[0];
        (void)sink;
    } catch (const tavo::Exception&) {
    }
    return 0;
}
