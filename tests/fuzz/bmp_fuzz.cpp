// The BMP reader on arbitrary bytes, as the plug-in host hands it a stream.
// Refusals are tavo::Exception; anything else (a crash, a sanitizer report, an
// escaping std:: exception) is a fault. Small results are also converted to 24
// bits, so that the palette and mask lookups see the hostile values too.
//
// Bounded run (clang, -DTAVO_FUZZ=ON, build folder build-fuzz):
//   mkdir -p /tmp/bmp-corpus && cp tests/fuzz/corpus/bmp/* /tmp/bmp-corpus/
//   timeout 660 build-fuzz/fuzz/bmp_fuzz -max_total_time=600 -rss_limit_mb=2048 -timeout=30
//       -max_len=16384 /tmp/bmp-corpus tests/fuzz/corpus/bmp   (one command line)
// Crashers it finds are fixed and then kept in tests/fuzz/corpus/bmp/, which
// the replay test runs in every build. Two such runs of 600 s on 2026-12-09
// (304 thousand and 2.27 million inputs, 460 edges) found no fault.
#include "imaging/BmpReader.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const tavo::Bitmap bitmap = tavo::ReadBmpStream(data, size);
        if (std::uint64_t{static_cast<std::uint32_t>(bitmap.width())} * static_cast<std::uint32_t>(bitmap.height()) <=
            (1u << 16))
            (void)bitmap.toBgr24();
    } catch (const tavo::Exception&) {
    }
    return 0;
}
