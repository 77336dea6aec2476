// The PNG plug-in's decoder on arbitrary bytes: it must return a code, never
// fault, and on success deliver blocks that agree with the header it wrote.
#include "spi/png/PngDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using namespace tavo::spi;

class MallocAllocator final : public DibAllocator {
public:
    ~MallocAllocator() override
    {
        std::free(info);
        std::free(bits);
    }
    void* allocateInfo(std::size_t bytes) override { return info = grab(infoSize = bytes); }
    void* allocateBits(std::size_t bytes) override { return bits = grab(bitsSize = bytes); }
    std::uint8_t* info = nullptr;
    std::uint8_t* bits = nullptr;
    std::size_t infoSize = 0;
    std::size_t bitsSize = 0;

private:
    static std::uint8_t* grab(std::size_t bytes) { return static_cast<std::uint8_t*>(std::malloc(bytes)); }
};

// Stops the decoder at the count given as lData, to exercise the abort path.
std::int32_t stopAt(std::int32_t count, std::int32_t, std::intptr_t lData)
{
    return count == std::int32_t(lData) ? 1 : 0;
}

std::uint32_t get32(const std::uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t(at[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PngPictureInfo info;
    if (readPngInfo(data, size, info) != SPI_ALL_RIGHT)
        return 0;
    // Keep the fuzzer within its memory limit; the decoder's own limits are far larger.
    if (std::uint64_t(info.width) * std::uint64_t(info.height) > (1u << 22))
        return 0;
    MallocAllocator blocks;
    // Most runs go to the end; every eighth one stops at some row.
    const std::intptr_t stop = size % 8 == 0 ? std::intptr_t(size / 8 % (info.height + 1)) : -1;
    const std::int32_t result = decodePng(data, size, blocks, Progress{stopAt, stop});
    if (result != SPI_ALL_RIGHT)
        return 0;
    if (blocks.infoSize < 40 || blocks.info == nullptr || blocks.bits == nullptr)
        std::abort();
    const std::uint32_t width = get32(blocks.info + 4), height = get32(blocks.info + 8);
    const std::uint32_t bitCount = blocks.info[14], colors = get32(blocks.info + 32);
    const std::uint64_t stride = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
    if (width != std::uint32_t(info.width) || height != std::uint32_t(info.height)
        || bitCount != std::uint32_t(info.bitCount) || blocks.infoSize != 40 + 4 * std::uint64_t(colors)
        || blocks.bitsSize != stride * height)
        std::abort();
    return 0;
}
