/* A Susie import plug-in for the TTR test format (TtrFormat.h). One source,
 * built three ways: as a 32-bit Windows library (standard call, undecorated
 * exports from a module-definition file), as a 64-bit Windows library, and
 * natively as an ELF plug-in against sdk/spi_plugin.h, so that the bridge and
 * the native host can be set side by side on the same code.
 * Compile definitions give a build its identity: TTR_VERSION (the API version
 * text), TTR_PATTERN_SET (which pattern pairs it answers) and TTR_WITH_PREVIEW. */
#include "TtrFormat.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>

#ifdef _WIN64
#define SPI_ENTRY __declspec(dllexport)
#else
/* Exported without decoration through the module-definition file. */
#define SPI_ENTRY __stdcall
#endif
typedef int(__stdcall *SPI_PROGRESS)(int nNum, int nDenom, intptr_t lData);

/* The picture information block: 26 bytes on 32-bit Windows; the 64-bit
 * convention pads it so that the handle is aligned. */
#pragma pack(push, 1)
typedef struct {
    int32_t left, top;
    int32_t width, height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth;
#ifdef _WIN64
    uint8_t dummy[2];
#endif
    HLOCAL hInfo;
} SPI_PICTINFO;
#pragma pack(pop)

#define SPI_ALL_RIGHT 0
#define SPI_ABORT 1
#define SPI_NOT_SUPPORT 2
#define SPI_OUT_OF_ORDER 3
#define SPI_NO_MEMORY 4

static void endProcess(void) { ExitProcess(7); }
static void waitAWhile(void) { Sleep(1000); }
#else
#include "sdk/spi_plugin.h"

#include <stdlib.h>
#include <unistd.h>

#define SPI_ENTRY SPI_EXPORT

static void endProcess(void) { exit(7); }
static void waitAWhile(void) { sleep(1); }
#endif

#ifndef TTR_VERSION
#define TTR_VERSION "00IN"
#endif
#ifndef TTR_PATTERN_SET
#define TTR_PATTERN_SET 1
#endif

static const char *const infoTexts[] = {
    TTR_VERSION,
    "TTR test raster plug-in",
#if TTR_PATTERN_SET == 1
    "*.ttr", "TTR test raster",
#elif TTR_PATTERN_SET == 2
    /* Several extensions in one pattern, then a pattern without its name. */
    "*.mag;*.max", "MAG and MAX", "*.odd",
#endif
    NULL};

/* A null pointer the compiler cannot see through. */
static volatile int *volatile nowhere = NULL;

static uint32_t u32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
static uint16_t u16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
static void put32(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); p[2] = (uint8_t)(v >> 16); p[3] = (uint8_t)(v >> 24);
}
static void put16(uint8_t *p, uint16_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }

typedef struct {
    uint32_t flags;
    int32_t width, height;
    uint16_t bitCount, colours;
    const uint8_t *palette;
    const uint8_t *rows;
    size_t fileRowSize;
} Header;

/* Reads and checks the header against the data's true length. */
static int readHeader(const uint8_t *data, intptr_t len, Header *h)
{
    if (len < TTR_HEADER_SIZE || memcmp(data, "TTR1", 4) != 0)
        return 0;
    h->flags = u32(data + 4);
    h->width = (int32_t)u32(data + 8);
    h->height = (int32_t)u32(data + 12);
    h->bitCount = u16(data + 16);
    h->colours = u16(data + 18);
    if (h->width < 1 || h->width > TTR_MAX_SIDE || h->height < 1 || h->height > TTR_MAX_SIDE)
        return 0;
    switch (h->bitCount) {
    case 1: case 4: case 8:
        if (h->colours > (1u << h->bitCount))
            return 0;
        break;
    case 24: case 32:
        if (h->colours != 0)
            return 0;
        break;
    default:
        return 0;
    }
    h->palette = data + TTR_HEADER_SIZE;
    h->rows = h->palette + 4u * h->colours;
    h->fileRowSize = ((size_t)h->width * h->bitCount + 7) / 8;
    const uint64_t need = TTR_HEADER_SIZE + 4ull * h->colours + (uint64_t)h->fileRowSize * (uint64_t)h->height;
    return (uint64_t)len >= need;
}

static int32_t copyText(const char *text, char *buf, int32_t buflen)
{
    int32_t n = (int32_t)strlen(text);
    if (buflen <= 0)
        return 0;
    if (n >= buflen)
        n = buflen - 1;
    memcpy(buf, text, (size_t)n);
    buf[n] = 0;
    return n;
}

SPI_ENTRY int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen)
{
    const int32_t count = (int32_t)(sizeof infoTexts / sizeof infoTexts[0]) - 1;
    if (infono < 0 || infono >= count)
        return 0;
    return copyText(infoTexts[infono], buf, buflen);
}

SPI_ENTRY int32_t IsSupported(const char *filename, const void *dw)
{
    const uint8_t *block = (const uint8_t *)dw;
    (void)filename;
    /* The block holds at least 2048 bytes; the header is checked in full later. */
    return memcmp(block, "TTR1", 4) == 0 && (u32(block + 4) & TTR_REFUSE) == 0;
}

SPI_ENTRY int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SPI_PICTINFO *lpInfo)
{
    Header h;
    if ((flag & 7) != 1 || !readHeader((const uint8_t *)buf, len, &h))
        return SPI_NOT_SUPPORT;
    memset(lpInfo, 0, sizeof *lpInfo);
    lpInfo->width = h.width;
    lpInfo->height = h.height;
    lpInfo->x_density = 72;
    lpInfo->y_density = 72;
    lpInfo->colorDepth = (int16_t)h.bitCount;
    if (h.flags & TTR_INFO_TEXT) {
        char text[64];
        const int n = snprintf(text, sizeof text, TTR_INFO_FORMAT, (int)h.width, (int)h.height);
        HLOCAL handle = LocalAlloc(LMEM_MOVEABLE, (size_t)n + 1);
        if (handle != NULL) {
            memcpy(LocalLock(handle), text, (size_t)n + 1);
            LocalUnlock(handle);
            lpInfo->hInfo = handle;
        }
    }
    return SPI_ALL_RIGHT;
}

static void misbehave(uint32_t flags)
{
    if (flags & TTR_FAULT)
        *nowhere = 1;
    if (flags & TTR_EXIT)
        endProcess();
    while (flags & TTR_HANG)
        waitAWhile();
}

SPI_ENTRY int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                             SPI_PROGRESS progress, intptr_t lData)
{
    Header h;
    if ((flag & 7) != 1 || !readHeader((const uint8_t *)buf, len, &h))
        return SPI_NOT_SUPPORT;
    misbehave(h.flags);
    const int reporting = (h.flags & TTR_PROGRESS) != 0 && progress != NULL;
    if (reporting && progress(0, h.height, lData) != 0)
        return SPI_ABORT;

    const size_t infoSize = 40 + 4u * h.colours;
    HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, infoSize);
    if (info == NULL)
        return SPI_NO_MEMORY;
    uint8_t *header = (uint8_t *)LocalLock(info);
    const int32_t dibHeight = (h.flags & TTR_TOP_DOWN) ? -h.height : h.height;
    put32(header, 40);
    put32(header + 4, (uint32_t)h.width);
    put32(header + 8, (uint32_t)dibHeight);
    put16(header + 12, 1);
    put16(header + 14, h.bitCount);
    put32(header + 32, h.colours);
    memcpy(header + 40, h.palette, 4u * h.colours);
    LocalUnlock(info);

    const size_t dibRowSize = (((size_t)h.width * h.bitCount + 31) / 32) * 4;
    HLOCAL bits = LocalAlloc(LMEM_MOVEABLE, dibRowSize * (size_t)h.height);
    if (bits == NULL) {
        LocalFree(info);
        return SPI_NO_MEMORY;
    }
    uint8_t *pixels = (uint8_t *)LocalLock(bits);
    const size_t padding = dibRowSize - h.fileRowSize;
    for (int32_t y = 0; y < h.height; ++y) {
        const int32_t dibRow = (h.flags & TTR_TOP_DOWN) ? y : h.height - 1 - y;
        uint8_t *to = pixels + (size_t)dibRow * dibRowSize;
        memcpy(to, h.rows + (size_t)y * h.fileRowSize, h.fileRowSize);
        memset(to + h.fileRowSize, 0, padding);
        if (reporting && (y + 1) % 64 == 0 && y + 1 < h.height && progress(y + 1, h.height, lData) != 0) {
            LocalUnlock(bits);
            LocalFree(bits);
            LocalFree(info);
            return SPI_ABORT;
        }
    }
    LocalUnlock(bits);
    if (reporting)
        progress(h.height, h.height, lData);
    *pHBInfo = info;
    *pHBm = bits;
    return SPI_ALL_RIGHT;
}

#ifdef TTR_WITH_PREVIEW
SPI_ENTRY int32_t GetPreview(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                             SPI_PROGRESS progress, intptr_t lData)
{
    (void)buf; (void)len; (void)flag; (void)pHBInfo; (void)pHBm; (void)progress; (void)lData;
    return -1; /* never called by the viewer */
}
#endif
