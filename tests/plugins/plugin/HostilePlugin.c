/* A plug-in that misbehaves in one way, chosen by a compile definition. It
 * takes files that start with "HOST" (*.hst) and, when it gets that far,
 * returns a 2 x 2 24-bit picture. Built against the SDK header alone. */
#define _GNU_SOURCE
#include "sdk/spi_plugin.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

/* A null pointer the compiler cannot see through. */
static volatile int *volatile nowhere = NULL;
static volatile int forever = 1;

#ifdef HOSTILE_CONSTRUCTOR_FAULT
__attribute__((constructor)) static void faultAtLoad(void)
{
    *nowhere = 1;
}
#endif

static const char *const texts[] = {"00IN", "Hostile test plug-in", "*.hst", "Hostile test picture"};

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen)
{
#ifdef HOSTILE_ENDLESS_INFO
    while (forever) {
    }
#endif
    if (infono < 0 || infono >= 4 || buflen <= 0)
        return 0;
    size_t n = strlen(texts[infono]);
    memcpy(buf, texts[infono], n + 1);
#ifdef HOSTILE_INFO_OVERRUN
    /* 300 bytes into a buffer of 256, the text still terminated. */
    memset(buf + n + 1, 'x', 300 - (n + 1));
#endif
    return (int32_t)n;
}

SPI_EXPORT int32_t IsSupported(const char *filename, const void *dw)
{
    (void)filename;
    return memcmp(dw, "HOST", 4) == 0;
}

SPI_EXPORT int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SPI_PICTINFO *lpInfo)
{
    (void)flag;
    if (len < 4 || memcmp(buf, "HOST", 4) != 0)
        return SPI_NOT_SUPPORT;
    memset(lpInfo, 0, sizeof *lpInfo);
    lpInfo->width = 2;
    lpInfo->height = 2;
    lpInfo->colorDepth = 24;
#ifdef HOSTILE_PICTINFO_OVERRUN
    /* Writes past the 32-byte block. */
    memset((char *)lpInfo + sizeof *lpInfo, 0xAB, 200);
#endif
    return SPI_ALL_RIGHT;
}

#ifdef HOSTILE_THREAD_FAULT
static void *faultOnThread(void *unused)
{
    (void)unused;
    *nowhere = 1;
    return NULL;
}
#endif

SPI_EXPORT int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData)
{
    (void)flag;
    if (len < 4 || memcmp(buf, "HOST", 4) != 0)
        return SPI_NOT_SUPPORT;
#ifdef HOSTILE_THREAD_FAULT
    pthread_t worker;
    if (pthread_create(&worker, NULL, faultOnThread, NULL) == 0)
        pthread_join(worker, NULL);
#endif
#ifdef HOSTILE_HEAP_OVERRUN
    HLOCAL small = LocalAlloc(LMEM_FIXED, 64);
    memset(LocalLock(small), 0x5A, 64 + 1024 * 1024);
#endif
#ifdef HOSTILE_EXIT
    exit(7);
#endif
#ifdef HOSTILE_ABORT
    abort();
#endif
#ifdef HOSTILE_ENDLESS_PICTURE
    while (forever) {
    }
#endif
#ifdef HOSTILE_WRONG_LDATA
    lData += 8;
#endif
    if (progress != NULL && progress(0, 1, lData) != 0)
        return SPI_ABORT;
    HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER *header = (BITMAPINFOHEADER *)LocalLock(info);
    header->biSize = sizeof *header;
    header->biWidth = 2;
    header->biHeight = 2;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    LocalUnlock(info);
#ifdef HOSTILE_SHORT_PIXELS
    const size_t size = 5; /* the header promises two rows of 8 bytes */
#else
    const size_t size = 16;
#endif
    HLOCAL bits = LocalAlloc(LMEM_MOVEABLE, size);
    memset(LocalLock(bits), 0x80, size);
    LocalUnlock(bits);
    if (progress != NULL)
        progress(1, 1, lData);
    *pHBInfo = info;
    *pHBm = bits;
    return SPI_ALL_RIGHT;
}
