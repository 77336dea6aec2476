/* A Susie import plug-in for the tests. What it claims comes from compile
 * definitions (SPI_ID, SPI_VERSION, SPI_PATTERN_SET and the variant switches);
 * what it does with data comes from the test picture's flags. */
#define _GNU_SOURCE
#include "sdk/spi_plugin.h"
#include "TestPlugin.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#ifndef SPI_ID
#define SPI_ID "test"
#endif
#ifndef SPI_VERSION
#define SPI_VERSION "00IN"
#endif
#ifndef SPI_PATTERN_SET
#define SPI_PATTERN_SET 1
#endif

#ifndef SPI_NO_GETPLUGININFO
static const char *const patterns[] = {
#if SPI_PATTERN_SET == 1
    "*.pic", "Test PIC",
#elif SPI_PATTERN_SET == 2
    "*.PIC", "Test PIC (upper case)",
#elif SPI_PATTERN_SET == 3
    "*.mag;*.max", "MAG and MAX", "*", "Pattern without a dot", "*.tpc", "Test picture",
#elif SPI_PATTERN_SET == 4
    "*.pic", "Test PIC", "*.odd", /* a pattern without its name */
#elif SPI_PATTERN_SET == 5
    "*.tpc", "Test picture",
#endif
    NULL};
#endif

/* The record of the calls lives in a file of the test's folder (named by
 * TAVO_TEST_PLUGIN_STATE) shared with the test program, since the plug-in runs
 * in the plug-in host; without it, in the library itself. */
static TestPluginState localState;
static TestPluginState *testState = &localState;

__attribute__((constructor)) static void mapTestState(void)
{
    const char *folder = getenv("TAVO_TEST_PLUGIN_STATE");
    Dl_info self;
    if (folder == NULL || !dladdr((void *)&mapTestState, &self) || self.dli_fname == NULL)
        return;
    char path[4096];
    testPluginStateFile(folder, self.dli_fname, path, sizeof path);
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (ftruncate(fd, sizeof(TestPluginState)) == 0) {
        void *p = mmap(NULL, sizeof(TestPluginState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED)
            testState = (TestPluginState *)p;
    }
    close(fd);
}

/* A null pointer the compiler cannot see through. */
static volatile int *volatile nowhere = NULL;

#ifndef SPI_NO_GETPLUGININFO
static int32_t copyText(const char *text, char *buf, int32_t buflen)
{
    int32_t n = (int32_t)strlen(text);
    if (n >= buflen)
        n = buflen - 1;
    memcpy(buf, text, (size_t)n);
    buf[n] = 0;
    return n;
}

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char *buf, int32_t buflen)
{
    if (buflen <= 0)
        return 0;
#ifdef SPI_FAULT_IN_INFO
    if (infono == 2)
        *nowhere = 1;
#endif
#ifdef SPI_ENDLESS_INFO
    return copyText("*.end", buf, buflen);
#endif
    if (infono == 0) {
#ifdef SPI_NO_VERSION
        return 0;
#else
        return copyText(SPI_VERSION, buf, buflen);
#endif
    }
    if (infono == 1) {
#ifdef SPI_LONG_NAME
        /* Fills all buflen bytes and writes no terminator. */
        memset(buf, 'L', (size_t)buflen);
        return buflen;
#else
        return copyText("Test plug-in " SPI_ID, buf, buflen);
#endif
    }
    const int32_t count = (int32_t)(sizeof patterns / sizeof patterns[0]) - 1;
    if (infono < 2 || infono - 2 >= count)
        return 0;
    return copyText(patterns[infono - 2], buf, buflen);
}
#endif

static uint32_t u32(const uint8_t *p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }
static void put32(uint8_t *p, uint32_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); p[2] = (uint8_t)(v >> 16); p[3] = (uint8_t)(v >> 24); }
static void put16(uint8_t *p, uint16_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }

static int isTestPicture(const uint8_t *data, intptr_t len)
{
    return len >= TPIC_HEADER_SIZE && memcmp(data, "TPIC", 4) == 0;
}

#ifndef SPI_NO_ISSUPPORTED
SPI_EXPORT int32_t IsSupported(const char *filename, const void *dw)
{
    const uint8_t *block = (const uint8_t *)dw;
    ++testState->isSupportedCalls;
    testState->lastNonZero = -1;
    for (int i = 0; i < 2048; ++i)
        if (block[i] != 0)
            testState->lastNonZero = i;
    testState->firstByte = block[0];
    snprintf(testState->lastFileName, sizeof testState->lastFileName, "%s", filename);
#ifdef SPI_ACCEPT_ALL
    return 1;
#endif
    if (memcmp(block, "TPIC", 4) != 0)
        return 0;
    return (u32(block + TPIC_FLAGS) & TPIC_REFUSE) ? 0 : 1;
}
#endif

SPI_EXPORT int32_t GetPictureInfo(const char *buf, intptr_t len, uint32_t flag, SPI_PICTINFO *lpInfo)
{
    const uint8_t *data = (const uint8_t *)buf;
    ++testState->getPictureInfoCalls;
    testState->lastInfoLength = len;
    testState->lastFlag = flag;
    if (!isTestPicture(data, len) || (u32(data + TPIC_FLAGS) & TPIC_FAIL_INFO))
        return SPI_NOT_SUPPORT;
    memset(lpInfo, 0, sizeof *lpInfo);
    lpInfo->left = 1;
    lpInfo->top = 2;
    lpInfo->width = (int32_t)u32(data + TPIC_WIDTH);
    lpInfo->height = (int32_t)u32(data + TPIC_HEIGHT);
    lpInfo->x_density = 72;
    lpInfo->y_density = 96;
    lpInfo->colorDepth = (int16_t)(data[TPIC_BITCOUNT] | data[TPIC_BITCOUNT + 1] << 8);
    if (u32(data + TPIC_FLAGS) & TPIC_INFO_TEXT) {
        HLOCAL text = LocalAlloc(LMEM_MOVEABLE, 10);
        memcpy(LocalLock(text), "0123456789", 10);
        LocalUnlock(text);
        lpInfo->hInfo = text;
    }
    return SPI_ALL_RIGHT;
}

static int recurse(volatile int depth)
{
    volatile char pad[256];
    if (depth == -1) /* never: keeps the compiler from seeing an endless recursion */
        return 0;
    pad[0] = (char)depth;
    return recurse(depth + 1) + pad[0];
}

static void fault(uint32_t flags)
{
    if (flags & TPIC_SEGV)
        *nowhere = 1;
    if (flags & TPIC_FPE) {
        volatile int zero = 0;
        volatile int numerator = 1000;
        volatile int x = numerator / zero;
        (void)x;
    }
    if (flags & TPIC_BUS) {
        char path[] = "/tmp/tavo-bus-XXXXXX";
        int fd = mkstemp(path);
        unlink(path);
        if (ftruncate(fd, 4096) == 0) {
            volatile char *p = mmap(NULL, 4096, PROT_READ, MAP_SHARED, fd, 0);
            if (ftruncate(fd, 0) == 0 && p != MAP_FAILED)
                (void)p[0];
        }
        close(fd);
    }
    if (flags & TPIC_STACK)
        recurse(0);
    if (flags & TPIC_ABORT)
        abort();
}

SPI_EXPORT int32_t GetPicture(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData)
{
    const uint8_t *data = (const uint8_t *)buf;
    ++testState->getPictureCalls;
    testState->lastPictureLength = len;
    testState->lastFlag = flag;
    testState->lastData = lData;
#ifdef SPI_ACCEPT_ALL
    if (!isTestPicture(data, len)) {
        /* Anything else becomes a 1 x 1 white 24-bit picture. */
        *pHBInfo = LocalAlloc(LPTR, 40);
        uint8_t *h = LocalLock(*pHBInfo);
        put32(h, 40); put32(h + 4, 1); put32(h + 8, 1); put16(h + 12, 1); put16(h + 14, 24);
        *pHBm = LocalAlloc(LPTR, 4);
        memset(LocalLock(*pHBm), 0xFF, 3);
        return SPI_ALL_RIGHT;
    }
#endif
    if (!isTestPicture(data, len))
        return SPI_NOT_SUPPORT;
    const uint32_t flags = u32(data + TPIC_FLAGS);
    fault(flags);
    if ((flags & TPIC_PROGRESS) && progress != NULL) {
        testState->progressResults[0] = progress(0, 3, lData);
        testState->progressResults[1] = progress(1, 3, lData);
        testState->progressResults[2] = progress(3, 3, lData);
    }
    if (flags & TPIC_FAIL_PICTURE)
        return SPI_OUT_OF_ORDER;
    const int32_t width = (int32_t)u32(data + TPIC_WIDTH);
    const int32_t height = (int32_t)u32(data + TPIC_HEIGHT);
    const uint16_t bitCount = (uint16_t)(data[TPIC_BITCOUNT] | data[TPIC_BITCOUNT + 1] << 8);
    const uint32_t clrUsed = u32(data + TPIC_CLRUSED);
    uint32_t colours = clrUsed;
    if (colours == 0 && bitCount <= 8)
        colours = 1u << bitCount;
    const uint32_t flagsMemory = (flags & TPIC_FIXED) ? LPTR : LHND;
    const size_t infoSize = (flags & TPIC_SHORT_INFO) ? 20 : 40 + 4 * (size_t)colours;
    HLOCAL info = LocalAlloc(flagsMemory, infoSize);
    uint8_t *h = LocalLock(info);
    if (infoSize >= 40) {
        put32(h, 40); put32(h + 4, (uint32_t)width); put32(h + 8, (uint32_t)height);
        put16(h + 12, 1); put16(h + 14, bitCount); put32(h + 32, clrUsed);
        for (uint32_t i = 0; i < colours; ++i) {
            h[40 + 4 * i] = (uint8_t)i; h[41 + 4 * i] = (uint8_t)(i * 2); h[42 + 4 * i] = (uint8_t)(i * 3);
        }
    }
    LocalUnlock(info);
    const int64_t rowSize = (((int64_t)width * bitCount + 31) / 32) * 4;
    const int64_t full = rowSize * (height < 0 ? -(int64_t)height : height);
    const uint32_t wanted = u32(data + TPIC_PIXELBYTES);
    const size_t bitsSize = wanted != 0 ? wanted : (size_t)full;
    HLOCAL bits = LocalAlloc(flagsMemory, bitsSize);
    uint8_t *p = LocalLock(bits);
    for (size_t i = 0; i < bitsSize; ++i)
        p[i] = (uint8_t)(data[TPIC_FILL] + i);
    LocalUnlock(bits);
    if (flags & TPIC_FREED_BITS)
        LocalFree(bits);
    *pHBInfo = (flags & TPIC_BOGUS_INFO) ? (HLOCAL)(uintptr_t)0x1234 : info;
    if (flags & TPIC_BOGUS_INFO)
        LocalFree(info);
    *pHBm = bits;
    if (flags & TPIC_SCRIBBLE)
        memset((void *)buf, 0, (size_t)len);
    return SPI_ALL_RIGHT;
}

#ifdef SPI_WITH_PREVIEW
SPI_EXPORT int32_t GetPreview(const char *buf, intptr_t len, uint32_t flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                              SPI_PROGRESS progress, intptr_t lData)
{
    (void)buf; (void)len; (void)flag; (void)pHBInfo; (void)pHBm; (void)progress; (void)lData;
    abort(); /* never called by the host */
}
#endif
