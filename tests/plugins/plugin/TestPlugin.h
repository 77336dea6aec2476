/* The test picture format of the test plug-ins, and the record of what a test
 * plug-in saw. Shared by the plug-in source and the tests. */
#ifndef TEST_PLUGIN_H
#define TEST_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

/* A test picture: the magic "TPIC", then little-endian fields at these offsets.
 * What the plug-in does with it is steered by the flags. */
#define TPIC_FLAGS 4       /* uint32 */
#define TPIC_WIDTH 8       /* int32 */
#define TPIC_HEIGHT 12     /* int32 */
#define TPIC_BITCOUNT 16   /* uint16 */
#define TPIC_CLRUSED 20    /* uint32 */
#define TPIC_PIXELBYTES 24 /* uint32: size of the pixel block; 0 for the full size */
#define TPIC_FILL 28       /* uint8: first pixel byte; byte i is fill + i */
#define TPIC_HEADER_SIZE 32

#define TPIC_REFUSE 0x0001u         /* IsSupported answers 0 */
#define TPIC_FAIL_INFO 0x0002u      /* GetPictureInfo fails */
#define TPIC_FAIL_PICTURE 0x0004u   /* GetPicture fails */
#define TPIC_INFO_TEXT 0x0008u      /* GetPictureInfo gives an info text without a terminator */
#define TPIC_BOGUS_INFO 0x0010u     /* *pHBInfo is no handle */
#define TPIC_FREED_BITS 0x0020u     /* *pHBm was freed before the return */
#define TPIC_FIXED 0x0040u          /* fixed blocks instead of moveable ones */
#define TPIC_PROGRESS 0x0080u       /* calls the progress callback 0/3, 1/3, 3/3 */
#define TPIC_SEGV 0x0100u           /* GetPicture writes through a null pointer */
#define TPIC_FPE 0x0200u            /* GetPicture divides by zero */
#define TPIC_BUS 0x0400u            /* GetPicture reads a mapping beyond its file */
#define TPIC_STACK 0x0800u          /* GetPicture recurses until the stack ends */
#define TPIC_SHORT_INFO 0x1000u     /* the info block is only 20 bytes */
#define TPIC_ABORT 0x2000u          /* GetPicture calls abort() */
#define TPIC_SCRIBBLE 0x4000u       /* GetPicture overwrites its input with zeros at the end */

typedef struct {
    int32_t isSupportedCalls;
    int32_t getPictureInfoCalls;
    int32_t getPictureCalls;
    int32_t lastNonZero;       /* index of the last non-zero byte of IsSupported's 2048-byte block, -1 if none */
    uint8_t firstByte;         /* byte 0 of that block */
    intptr_t lastInfoLength;   /* len of the last GetPictureInfo */
    intptr_t lastPictureLength;/* len of the last GetPicture */
    uint32_t lastFlag;
    char lastFileName[256];
    int32_t progressResults[3];
    intptr_t lastData;
} TestPluginState;

/* The file that holds the record of the test plug-in at libraryPath: the
 * path with every "/" turned into "_", in folder. */
static inline void testPluginStateFile(const char *folder, const char *libraryPath, char *out, size_t size)
{
    size_t n = 0;
    for (const char *p = folder; *p != 0 && n + 1 < size; ++p)
        out[n++] = *p;
    if (n + 1 < size)
        out[n++] = '/';
    for (const char *p = libraryPath; *p != 0 && n + 1 < size; ++p)
        out[n++] = *p == '/' ? '_' : *p;
    out[n] = 0;
}

#endif
