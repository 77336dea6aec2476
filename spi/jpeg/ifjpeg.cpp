// The JPEG import plug-in for the extensions the viewer does not decode itself.
#include "JpegDecoder.h"
#include "spi/common/PluginSupport.h"

#include <cstring>

using namespace tavo::spi;

namespace {
const char* const kInfoTexts[] = {
    "00IN",
    "TavoTavo JPEG plug-in on libjpeg-turbo",
    // One pattern each: the host registers only a pattern's last extension.
    "*.jpe",
    "JPEG",
    "*.jfif",
    "JPEG File Interchange Format",
    "*.jfi",
    "JPEG File Interchange Format",
};
} // namespace

extern "C" {

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen)
{
    return copyPluginInfo(kInfoTexts, std::size(kInfoTexts), infono, buf, buflen);
}

SPI_EXPORT int32_t IsSupported(const char*, const void* dw)
{
    // dw is the 2048-byte block of the data's start.
    return hasJpegSignature(dw, 2048) ? 1 : 0;
}

SPI_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo)
{
    if (lpInfo == nullptr)
        return SPI_OTHER_ERROR;
    try {
        PluginInput input;
        if (int32_t result = input.open(buf, len, flag))
            return result;
        JpegPictureInfo info;
        if (int32_t result = readJpegInfo(input.data(), input.size(), info))
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

SPI_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, HLOCAL* pHBInfo,
                              HLOCAL* pHBm, SPI_PROGRESS progress, intptr_t lData)
{
    if (pHBInfo == nullptr || pHBm == nullptr)
        return SPI_OTHER_ERROR;
    try {
        PluginInput input;
        if (int32_t result = input.open(buf, len, flag))
            return result;
        LocalDibAllocator blocks;
        if (int32_t result = decodeJpeg(input.data(), input.size(), blocks, Progress{progress, lData}))
            return result;
        blocks.handOver(pHBInfo, pHBm);
        return SPI_ALL_RIGHT;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

} // extern "C"
