// Any byte string through the JPEG decoder, in both pixel modes: it must decode
// or fail with one of our errors, never crash or read out of bounds.
//
// A bounded run of ten minutes, from the repository's root:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAVO_FUZZ=ON -DTAVO_BENCH=OFF
//   cmake --build build-fuzz --target jpeg_fuzz
//   mkdir -p /tmp/jpeg-corpus
//   build-fuzz/fuzz/jpeg_fuzz -max_total_time=600 -rss_limit_mb=2048 -max_len=65536
//       -artifact_prefix=tests/fuzz/corpus/jpeg/ /tmp/jpeg-corpus tests/fuzz/corpus/jpeg
//   (one command line)
// Debian's libjpeg has no coverage instrumentation, so the fuzzer sees little
// of it; for feedback from inside libjpeg, build libjpeg-turbo's Debian sources
// with CFLAGS=-fsanitize=fuzzer-no-link,address,undefined and configure with
// -DJPEG_INCLUDE_DIR=... -DJPEG_LIBRARY=.../libjpeg.a.
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
        if (static_cast<std::uint64_t>(image.width()) * static_cast<std::uint64_t>(image.height()) > (1u << 18))
            return 0;
        const tavo::Bitmap& bitmap = image.bitmap();
        volatile std::uint8_t sink = bitmap.isEmpty() ? 0 : bitmap.row(bitmap.height() - 1)[0];
        (void)sink;
    } catch (const tavo::Exception&) {
    }
    return 0;
}
