// The AVIF plug-in's decoder on arbitrary bytes: it must return a code,
// never fault, and on success deliver blocks that agree with its header.
//
// A bounded run of ten minutes, from the repository's root:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAVO_FUZZ=ON -DTAVO_BENCH=OFF
//   cmake --build build-fuzz --target avif_fuzz
//   mkdir -p /tmp/avif-corpus
//   nice build-fuzz/fuzz/avif_fuzz -max_total_time=600 -rss_limit_mb=2048 -timeout=30 -max_len=65536
//       -artifact_prefix=tests/fuzz/corpus/avif/ /tmp/avif-corpus tests/fuzz/corpus/avif
//   (one command line)
// Debian's libavif has no coverage instrumentation, so the fuzzer steers by
// our code and finds faults inside the library only by chance mutations.
// A run of 600 s on 2026-12-09 (55 thousand inputs, Debian's libavif 0.11.1
// with dav1d) found nothing.
#include "DibFuzzCheck.h"
#include "spi/avif/AvifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tavo::spi;
    AvifPictureInfo info;
    if (readAvifInfo(data, size, info) != SPI_ALL_RIGHT)
        return 0;
    // Keep the fuzzer within its memory limit; the decoder's own limits are far larger.
    if (std::uint64_t(info.width) * std::uint64_t(info.height) > (1u << 22))
        return 0;
    tavo::fuzz::MallocAllocator blocks;
    // Most runs go to the end; every eighth one stops at some row.
    const std::intptr_t stop = size % 8 == 0 ? std::intptr_t(size / 8 % (info.height + 1)) : -1;
    if (decodeAvif(data, size, blocks, Progress{tavo::fuzz::stopAt, stop}) == SPI_ALL_RIGHT)
        tavo::fuzz::checkBlocks(blocks, info.width, info.height);
    return 0;
}
