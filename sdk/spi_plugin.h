/*
 * The import plug-in interface of the TavoTavo picture viewer on Linux x86-64.
 *
 * A plug-in is an ELF shared library named *.spi that exports the functions
 * below with C linkage. The viewer runs every plug-in in a plug-in host
 * process of its own (tavotavo-spi-host), which loads it with
 * dlopen(RTLD_NOW | RTLD_LOCAL) and provides the local-memory functions
 * declared at the end; a plug-in just calls them. Whatever a plug-in does
 * (a fault, exit(), an endless loop) costs the viewer that one picture: the
 * viewer reports it, ends the host and does not use the plug-in again in
 * that run.
 *
 * Building: this header alone and one compiler line,
 *     cc -shared -fPIC -fvisibility=hidden -O2 -o myformat.spi myformat.c
 * The local-memory functions stay undefined in the library and resolve from
 * the host when it is loaded (so do not link with -z defs). Mark only the
 * entry points with SPI_EXPORT, so that the libraries a plug-in bundles
 * cannot clash with the host's. Put the .spi file into the Susie plug-in
 * folder or beside the viewer.
 *
 * Threads: a plug-in may start threads, and may call the progress callback
 * from any of them while GetPicture runs; a call after GetPicture has
 * returned answers 1 (stop).
 *
 * The widths and the layout follow the interface's published 64-bit
 * convention, so a 64-bit plug-in's source ports with the least change.
 */
#ifndef SPI_PLUGIN_H
#define SPI_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SPI_EXPORT __attribute__((visibility("default")))

typedef void *HLOCAL; /* local-memory handle */

/* Progress callback. A non-zero return asks the plug-in to stop: it then frees
 * what it allocated and returns SPI_ABORT. lData must be handed back exactly as
 * GetPicture received it: the host checks it and never follows it as a
 * pointer. A wrong value makes the callback answer 1 and fails that
 * GetPicture call (never the host). */
typedef int32_t (*SPI_PROGRESS)(int32_t nNum, int32_t nDenom, intptr_t lData);

#pragma pack(push, 1)
typedef struct {
    int32_t left, top;     /*  0,  4: position of the picture */
    int32_t width, height; /*  8, 12: size in pixels */
    uint16_t x_density;    /* 16 */
    uint16_t y_density;    /* 18 */
    int16_t colorDepth;    /* 20: bits per pixel */
    uint8_t dummy[2];      /* 22: written as 0 */
    HLOCAL hInfo;          /* 24: info text or NULL; the host frees it */
} SPI_PICTINFO;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(offsetof(SPI_PICTINFO, width) == 8, "SPI_PICTINFO layout");
static_assert(offsetof(SPI_PICTINFO, x_density) == 16, "SPI_PICTINFO layout");
static_assert(offsetof(SPI_PICTINFO, colorDepth) == 20, "SPI_PICTINFO layout");
static_assert(offsetof(SPI_PICTINFO, hInfo) == 24, "SPI_PICTINFO layout");
static_assert(sizeof(SPI_PICTINFO) == 32, "SPI_PICTINFO layout");
#else
_Static_assert(offsetof(SPI_PICTINFO, width) == 8, "SPI_PICTINFO layout");
_Static_assert(offsetof(SPI_PICTINFO, x_density) == 16, "SPI_PICTINFO layout");
_Static_assert(offsetof(SPI_PICTINFO, colorDepth) == 20, "SPI_PICTINFO layout");
_Static_assert(offsetof(SPI_PICTINFO, hInfo) == 24, "SPI_PICTINFO layout");
_Static_assert(sizeof(SPI_PICTINFO) == 32, "SPI_PICTINFO layout");
#endif

/* The bitmap information block of GetPicture: a BITMAPINFOHEADER, then the
 * bit-field masks when biCompression is BI_BITFIELDS (three uint32: red,
 * green, blue, right after the 40 bytes), then biClrUsed colour entries
 * (RGBQUAD; 0 means 2, 16 or 256 for 1, 4 and 8 bits, none above 8 bits).
 *
 * The pixel block: rows from the bottom up (top down when biHeight is
 * negative), each row padded with zeros to a multiple of 4 bytes, so a row
 * has ((biWidth * biBitCount + 31) / 32) * 4 bytes. Taken:
 *   biBitCount 1, 4, 8 (palette), 16, 24, 32 with BI_RGB;
 *   8 with BI_RLE8, 4 with BI_RLE4 (the pixel block is the encoded data,
 *   read no further than the unencoded rows would reach);
 *   16 and 32 with BI_BITFIELDS.
 * BI_RGB at 16 bits is 5-5-5; at 32 bits blue, green, red and a fourth byte.
 * Alpha is ignored. biPlanes is 1. A block shorter than the header promises
 * is read as far as it goes and the rest is taken as zero. */
typedef struct {
    uint32_t biSize;          /* 40 */
    int32_t biWidth;
    int32_t biHeight;         /* negative: rows from the top down */
    uint16_t biPlanes;        /* 1 */
    uint16_t biBitCount;
    uint32_t biCompression;   /* BI_* */
    uint32_t biSizeImage;     /* may be 0 for BI_RGB */
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} BITMAPINFOHEADER;

typedef struct {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;      /* 0 */
} RGBQUAD;

#define BI_RGB 0u
#define BI_RLE8 1u
#define BI_RLE4 2u
#define BI_BITFIELDS 3u

#ifdef __cplusplus
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD layout");
#else
_Static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
_Static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD layout");
#endif

/* Result codes. */
#define SPI_NOT_IMPLEMENTED (-1)
#define SPI_ALL_RIGHT 0
#define SPI_ABORT 1          /* stopped by the progress callback */
#define SPI_NOT_SUPPORT 2    /* unknown format */
#define SPI_OUT_OF_ORDER 3   /* broken data */
#define SPI_NO_MEMORY 4
#define SPI_MEMORY_ERROR 5
#define SPI_FILE_READ_ERROR 6
#define SPI_OTHER_ERROR 8    /* internal error */

/* flag & 7: where the data is. The host always passes SPI_INPUT_MEMORY. */
#define SPI_INPUT_FILE 0
#define SPI_INPUT_MEMORY 1

/* The entry points. GetPluginInfo returns the length of the text written to
 * buf (at most buflen bytes including the terminator), 0 past the last number:
 * 0 the API version ("00IN" for import plug-ins), 1 a line about the plug-in,
 * then pairs of a file pattern ("*.png") and a format name. */
SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen);
/* dw: a block of at least 2048 bytes holding the start of the data, zero-filled
 * beyond the end of shorter data. Non-zero: the plug-in takes the data. */
SPI_EXPORT int32_t IsSupported(const char *filename, const void *dw);
SPI_EXPORT int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag,
                                  SPI_PICTINFO *lpInfo);
/* On success *pHBInfo holds the bitmap information block and *pHBm the pixel
 * block described above, both from LocalAlloc; the host owns and frees both.
 * On failure the plug-in has freed what it allocated. */
SPI_EXPORT int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag,
                              HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData);
/* Optional: the host binds it when present and never calls it. */
SPI_EXPORT int32_t GetPreview(const char *buf, intptr_t len, uint32_t flag,
                              HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData);

/* Local memory, provided by the host process. */
#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

HLOCAL LocalAlloc(uint32_t uFlags, size_t uBytes);
HLOCAL LocalReAlloc(HLOCAL hMem, size_t uBytes, uint32_t uFlags);
void *LocalLock(HLOCAL hMem);
int32_t LocalUnlock(HLOCAL hMem);      /* non-zero while still locked */
size_t LocalSize(HLOCAL hMem);         /* 0 for an unknown handle */
HLOCAL LocalFree(HLOCAL hMem);         /* NULL on success, hMem on failure */

#ifdef __cplusplus
}
#endif

#endif /* SPI_PLUGIN_H */
