// The HEIF plug-in's decoder on arbitrary bytes: it must return a code,
// never fault, and on success deliver blocks that agree with its header.
//
// A bounded run of ten minutes, from the repository's root:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTAVO_FUZZ=ON -DTAVO_BENCH=OFF
//   cmake --build build-fuzz --target heif_fuzz
//   mkdir -p /tmp/heif-corpus
//   nice build-fuzz/fuzz/heif_fuzz -max_total_time=600 -rss_limit_mb=2048 -timeout=30 -max_len=65536
//       -artifact_prefix=tests/fuzz/corpus/heif/ /tmp/heif-corpus tests/fuzz/corpus/heif
//   (one command line)
// Debian's libheif has no coverage instrumentation, so the fuzzer steers by
// our code and finds faults inside the library only by chance mutations.
// Runs on 2026-12-09 (Debian's libheif 1.15.1): the first found a picture
// decoded larger than its header says (now shown at its decoded size), the
// second a small file whose coded picture asked for gigabytes once the size
// limit had been raised (libheif's own limit is now kept); both are kept in
// corpus/heif/. A third run of 600 s (11 thousand inputs on a loaded
// machine) found nothing. A fourth found a file whose coded picture has no
// configuration, on which libheif spent 16 s and 1.6 GB before refusing it
// (now refused at once, as heif-convert does: corpus/heif/depth-unknown.heic).
// A fifth, on the final plug-in, with -fork=1 -ignore_timeouts=1 -ignore_ooms=1
// (629 s, 1.33 million inputs) found no fault. Its five out-of-memory stops
// are small files whose coded picture is far larger than their header says;
// the one traced (26482 x 26980) heif-convert decodes with 4 GB, and the
// plug-in refuses it.
#include "DibFuzzCheck.h"
#include "spi/heif/HeifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tavo::spi;
    HeifPictureInfo info;
    if (readHeifInfo(data, size, info) != SPI_ALL_RIGHT)
        return 0;
    // Keep the fuzzer within its memory limit; the decoder's own limits are far larger.
    if (std::uint64_t(info.width) * std::uint64_t(info.height) > (1u << 22))
        return 0;
    tavo::fuzz::MallocAllocator blocks;
    // Most runs go to the end; every eighth one stops at some row.
    const std::intptr_t stop = size % 8 == 0 ? std::intptr_t(size / 8 % (info.height + 1)) : -1;
    // The picture may differ in size from what its header says (a coded
    // picture larger than its 'ispe'); it is shown at the decoded size, as
    // libheif's own tools do.
    if (decodeHeif(data, size, blocks, Progress{tavo::fuzz::stopAt, stop}) == SPI_ALL_RIGHT)
        tavo::fuzz::checkBlocks(blocks, 0, 0);
    return 0;
}
