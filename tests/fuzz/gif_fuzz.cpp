// The GIF plug-in's decoder on arbitrary bytes: it must return a code, never
// fault, and on success deliver blocks that agree with the header it wrote.
// Bounded run: build-fuzz/fuzz/gif_fuzz -max_total_time=600 tests/fuzz/corpus/gif
#include "DibFuzzCheck.h"
#include "spi/gif/GifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tavo::fuzz::decodeAndCheck(data, size, tavo::spi::readGifInfo, tavo::spi::decodeGif);
    return 0;
}
