// The bodies of GetPictureInfo and GetPicture that every shipped plug-in
// shares: input checks, the memory or file input, the two result blocks, and
// no exception ever leaving through the interface.
#pragma once

#include "spi/common/PluginSupport.h"

#include <cstring>

namespace tavo::spi {

// read: the decoder's header reader, filling an info record with width,
// height, xDensity, yDensity and bitCount.
template <class Info>
std::int32_t pictureInfoEntry(std::int32_t (*read)(const std::uint8_t*, std::size_t, Info&), const char* buf,
                              intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo)
{
    if (lpInfo == nullptr)
        return SPI_OTHER_ERROR;
    try {
        PluginInput input;
        if (std::int32_t result = input.open(buf, len, flag))
            return result;
        Info info;
        if (std::int32_t result = read(input.data(), input.size(), info))
            return result;
        std::memset(lpInfo, 0, sizeof *lpInfo);
        lpInfo->width = info.width;
        lpInfo->height = info.height;
        lpInfo->x_density = info.xDensity;
        lpInfo->y_density = info.yDensity;
        lpInfo->colorDepth = info.bitCount;
        return SPI_ALL_RIGHT;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

using PictureDecoder = std::int32_t (*)(const std::uint8_t*, std::size_t, DibAllocator&, const Progress&);

inline std::int32_t pictureEntry(PictureDecoder decode, const char* buf, intptr_t len, uint32_t flag,
                                 HLOCAL* pHBInfo, HLOCAL* pHBm, SPI_PROGRESS progress, intptr_t lData)
{
    if (pHBInfo == nullptr || pHBm == nullptr)
        return SPI_OTHER_ERROR;
    try {
        PluginInput input;
        if (std::int32_t result = input.open(buf, len, flag))
            return result;
        LocalDibAllocator blocks;
        if (std::int32_t result = decode(input.data(), input.size(), blocks, Progress{progress, lData}))
            return result;
        blocks.handOver(pHBInfo, pHBm);
        return SPI_ALL_RIGHT;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

} // namespace tavo::spi
