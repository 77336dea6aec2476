// What the fuzz targets of the plug-in decoders share: blocks from malloc, a
// callback that stops at a chosen count, and the check that a decoder's
// success delivered blocks agreeing with the header it wrote and with its own
// picture info.
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
    void* allocateInfo(std::size_t bytes) override { return info = grab(info, infoSize = bytes); }
    void* allocateBits(std::size_t bytes) override { return bits = grab(bits, bitsSize = bytes); }
    std::uint8_t* info = nullptr;
    std::uint8_t* bits = nullptr;
    std::size_t infoSize = 0;
    std::size_t bitsSize = 0;

private:
    static std::uint8_t* grab(std::uint8_t* old, std::size_t bytes)
    {
        std::free(old);
        return static_cast<std::uint8_t*>(std::malloc(bytes));
    }
};

// Stops the decoder at the count given as lData, to exercise the abort path.
inline std::int32_t stopAt(std::int32_t count, std::int32_t, std::intptr_t lData)
{
    return count == std::int32_t(lData) ? 1 : 0;
}

// Aborts (a finding) unless the blocks hold a bitmap of the given size (any
// size for a width of 0) whose header, colour table and rows agree.
inline void checkBlocks(const MallocAllocator& blocks, std::int32_t width, std::int32_t height)
{
    auto get32 = [](const std::uint8_t* at) {
        return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t(at[3]) << 24;
    };
    if (blocks.infoSize < 40 || blocks.info == nullptr || blocks.bits == nullptr)
        std::abort();
    const std::uint32_t w = get32(blocks.info + 4), h = get32(blocks.info + 8);
    const std::uint32_t bitCount = blocks.info[14], colors = get32(blocks.info + 32);
    const std::uint64_t stride = (std::uint64_t(w) * bitCount + 31) / 32 * 4;
    if (width != 0 && (w != std::uint32_t(width) || h != std::uint32_t(height)))
        std::abort();
    if (w == 0 || h == 0 || w > spi::kMaxDimension || h > spi::kMaxDimension || blocks.infoSize != 40 + 4 * std::uint64_t(colors)
        || blocks.bitsSize != stride * h)
        std::abort();
    // Every byte delivered must have been written: reading them all lets the
    // sanitizers see uninitialised or freed memory.
    unsigned sum = 0;
    for (std::size_t i = 0; i < blocks.bitsSize; i += 61)
        sum += blocks.bits[i];
    if (sum == 0xFFFFFFFFu)
        std::abort();
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
    checkBlocks(blocks, info.width, info.height);
    if (blocks.info[14] != std::uint32_t(info.bitCount))
        std::abort();
}

} // namespace tavo::fuzz
