/*
 * A sample import plug-in: binary portable pixmaps ("P6", 8 bits a sample).
 * It needs nothing but spi_plugin.h; build it with
 *     cc -shared -fPIC -fvisibility=hidden -O2 -I. -o ifppm.spi sample_ppm.c
 */
#include "spi_plugin.h"

#include <string.h>

static const char *const infoTexts[] = {
    "00IN",
    "Sample plug-in: portable pixmap (P6)",
    "*.ppm",
    "Portable pixmap",
};

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen)
{
    if (infono < 0 || infono >= (int32_t)(sizeof infoTexts / sizeof infoTexts[0]) || buflen <= 0)
        return 0;
    size_t n = strlen(infoTexts[infono]);
    if (n > (size_t)buflen - 1)
        n = (size_t)buflen - 1;
    memcpy(buf, infoTexts[infono], n);
    buf[n] = 0;
    return (int32_t)n;
}

/* The header: "P6", width, height, maximum value (255), each after white
 * space (comments from "#" to the end of a line count as space), then one
 * space and the samples, red, green and blue, row by row from the top. */
typedef struct {
    int32_t width, height;
    size_t pixels; /* offset of the first sample */
} Header;

static int skipSpace(const uint8_t *data, size_t len, size_t *at)
{
    int any = 0;
    while (*at < len) {
        if (data[*at] == '#') {
            while (*at < len && data[*at] != '\n')
                ++*at;
        } else if (data[*at] == ' ' || data[*at] == '\t' || data[*at] == '\r' || data[*at] == '\n') {
            ++*at;
        } else {
            break;
        }
        any = 1;
    }
    return any;
}

static int readNumber(const uint8_t *data, size_t len, size_t *at, int32_t *value)
{
    int64_t n = 0;
    size_t start = *at;
    while (*at < len && data[*at] >= '0' && data[*at] <= '9' && n <= 100000)
        n = n * 10 + (data[(*at)++] - '0');
    *value = (int32_t)n;
    return *at > start && n > 0 && n <= 100000;
}

static int readHeader(const uint8_t *data, size_t len, Header *h)
{
    size_t at = 2;
    int32_t maximum = 0;
    if (len < 2 || data[0] != 'P' || data[1] != '6')
        return 0;
    if (!skipSpace(data, len, &at) || !readNumber(data, len, &at, &h->width) ||
        !skipSpace(data, len, &at) || !readNumber(data, len, &at, &h->height) ||
        !skipSpace(data, len, &at) || !readNumber(data, len, &at, &maximum) || maximum != 255)
        return 0;
    if (at >= len)
        return 0;
    h->pixels = at + 1; /* the one space after the maximum */
    return 1;
}

SPI_EXPORT int32_t IsSupported(const char *filename, const void *dw)
{
    const uint8_t *block = (const uint8_t *)dw;
    (void)filename;
    /* dw holds at least 2048 bytes (zero after the end of short data). */
    return block[0] == 'P' && block[1] == '6' &&
        (block[2] == ' ' || block[2] == '\t' || block[2] == '\r' || block[2] == '\n' || block[2] == '#');
}

SPI_EXPORT int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SPI_PICTINFO *lpInfo)
{
    Header h;
    if ((flag & 7) != SPI_INPUT_MEMORY || len < 0)
        return SPI_NOT_IMPLEMENTED;
    if (!readHeader((const uint8_t *)buf, (size_t)len, &h))
        return SPI_NOT_SUPPORT;
    memset(lpInfo, 0, sizeof *lpInfo);
    lpInfo->width = h.width;
    lpInfo->height = h.height;
    lpInfo->colorDepth = 24;
    return SPI_ALL_RIGHT;
}

SPI_EXPORT int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData)
{
    const uint8_t *data = (const uint8_t *)buf;
    Header h;
    if ((flag & 7) != SPI_INPUT_MEMORY || len < 0)
        return SPI_NOT_IMPLEMENTED;
    if (!readHeader(data, (size_t)len, &h))
        return SPI_NOT_SUPPORT;
    const size_t rowBytes = (size_t)h.width * 3;
    if (((size_t)len - h.pixels) / rowBytes < (size_t)h.height)
        return SPI_OUT_OF_ORDER; /* the samples end early */
    const size_t stride = (rowBytes + 3) & ~(size_t)3;

    HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
    HLOCAL bits = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, stride * (size_t)h.height);
    if (info == NULL || bits == NULL) {
        LocalFree(info);
        LocalFree(bits);
        return SPI_NO_MEMORY;
    }
    BITMAPINFOHEADER *header = (BITMAPINFOHEADER *)LocalLock(info);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = h.width;
    header->biHeight = h.height; /* bottom-up rows */
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    LocalUnlock(info);

    uint8_t *pixels = (uint8_t *)LocalLock(bits);
    for (int32_t y = 0; y < h.height; ++y) {
        if (progress != NULL && progress(y, h.height, lData) != 0) {
            LocalUnlock(bits);
            LocalFree(info);
            LocalFree(bits);
            return SPI_ABORT;
        }
        const uint8_t *from = data + h.pixels + (size_t)y * rowBytes;
        uint8_t *to = pixels + (size_t)(h.height - 1 - y) * stride;
        for (int32_t x = 0; x < h.width; ++x) {
            to[3 * x] = from[3 * x + 2]; /* blue, green, red */
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    LocalUnlock(bits);
    if (progress != NULL)
        progress(h.height, h.height, lData);
    *pHBInfo = info;
    *pHBm = bits;
    return SPI_ALL_RIGHT;
}
