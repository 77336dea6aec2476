// The AVIF import plug-in: the entry points of the interface around decodeAvif.
#include "AvifDecoder.h"
#include "spi/common/EntryPoints.h"
#include "spi/common/PluginSupport.h"

using namespace tavo::spi;

namespace {
const char* const kInfoTexts[] = {
    "00IN",
    "TavoTavo AVIF plug-in on libavif",
    "*.avif",
    "AVIF",
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
    return isAvifFile(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo)
{
    return pictureInfoEntry(readAvifInfo, buf, len, flag, lpInfo);
}

SPI_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, HLOCAL* pHBInfo,
                              HLOCAL* pHBm, SPI_PROGRESS progress, intptr_t lData)
{
    return pictureEntry(decodeAvif, buf, len, flag, pHBInfo, pHBm, progress, lData);
}

} // extern "C"
