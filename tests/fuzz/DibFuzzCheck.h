// What the plug-in decoders' fuzz targets share: blocks from malloc, a stop
// at some row now and then, and the check that a decoder's success delivers
// blocks agreeing with the header it wrote and with its own picture info.
#pragma once

#include "spi/common/Dib.h"

#include <cstdint>
#include <cstdlib>

namespace tavo::fuzz {

class MallocAllocator final : public spi::DibAllocator {
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
inline std::int32_t stopAt(std::int32_t count, std::int32_t, std::intptr_t lData)
{
    return count == std::int32_t(lData) ? 1 : 0;
}

inline std::uint32_t get32(const std::uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t(at[3]) << 24;
}

// Reads the info, then decodes; aborts the process on a success whose blocks
// disagree with the header or the info.
template <class Info>
void decodeAndCheck(const std::uint8_t* data, std::size_t size,
                    std::int32_t (*read)(const std::uint8_t*, std::size_t, Info&),
                    std::int32_t (*decode)(const std::uint8_t*, std::size_t, spi::DibAllocator&, const spi::Progress&))
{
    Info info;
    if (read(data, size, info) != SPI_ALL_RIGHT)
        return;
    // Keep the fuzzer within its memory limit; the decoders' own limits are far larger.
    if (std::uint64_t(info.width) * std::uint64_t(info.height) > (1u << 22))
        return;
    MallocAllocator blocks;
    // Most runs go to the end; every eighth one stops at some row.
    const std::intptr_t stop = size % 8 == 0 ? std::intptr_t(size / 8 % (std::size_t(info.height) + 1)) : -1;
    if (decode(data, size, blocks, spi::Progress{stopAt, stop}) != SPI_ALL_RIGHT)
        return;
    if (blocks.infoSize < 40 || blocks.info == nullptr || blocks.bits == nullptr)
        std::abort();
    const std::uint32_t width = get32(blocks.info + 4), height = get32(blocks.info + 8);
    const std::uint32_t bitCount = blocks.info[14], colors = get32(blocks.info + 32);
    const std::uint64_t stride = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
    if (width != std::uint32_t(info.width) || height != std::uint32_t(info.height)
        || bitCount != std::uint32_t(info.bitCount) || blocks.infoSize != 40 + 4 * std::uint64_t(colors)
        || blocks.bitsSize != stride * height)
        std::abort();
}

} // namespace tavo::fuzz
