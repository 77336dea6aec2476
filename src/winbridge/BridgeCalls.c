#include "BridgeCalls.h"

#include "BridgeRegions.h"
#include "BridgeText.h"

#include <string.h>

/* The entry points as the plug-in interface fixes them: standard call on
 * 32-bit Windows (the attribute means nothing on 64-bit), lengths and the
 * callback's value as wide as a pointer. */
typedef int(__stdcall *ProgressFn)(int nNum, int nDenom, intptr_t lData);
typedef int(__stdcall *GetPluginInfoFn)(int infono, char *buf, int buflen);
typedef int(__stdcall *IsSupportedFn)(const char *filename, const void *dw);
typedef int(__stdcall *GetPictureInfoFn)(const char *buf, intptr_t len, unsigned flag, void *lpInfo);
typedef int(__stdcall *GetPictureFn)(const char *buf, intptr_t len, unsigned flag, HLOCAL *pHBInfo, HLOCAL *pHBm,
                                     ProgressFn progress, intptr_t lData);

typedef struct {
    HMODULE module;
    GetPluginInfoFn getPluginInfo;
    IsSupportedFn isSupported;
    GetPictureInfoFn getPictureInfo;
    GetPictureFn getPicture;
} Library;

/* Numbers are never reused, so a stale number from the viewer finds nothing. */
#define MAX_LIBRARIES 4096
static Library libraries[MAX_LIBRARIES + 1];
static uint32_t libraryCount;

/* Each call sits in a function of its own that keeps a frame pointer (see the
 * build): a plug-in that removes a wrong number of bytes from the stack on
 * return leaves the stack pointer wrong only until that function's epilogue. */
#define ISOLATED __attribute__((noinline, optimize("no-omit-frame-pointer")))

static ISOLATED int callPluginInfo(GetPluginInfoFn f, int infono, char *buf, int buflen)
{
    return f(infono, buf, buflen);
}
static ISOLATED int callIsSupported(IsSupportedFn f, const char *name, const void *block)
{
    return f(name, block);
}
static ISOLATED int callPictureInfo(GetPictureInfoFn f, const void *data, intptr_t len, unsigned flag, void *info)
{
    return f(data, len, flag, info);
}
static ISOLATED int callPicture(GetPictureFn f, const void *data, intptr_t len, unsigned flag, HLOCAL *info,
                                HLOCAL *bits, ProgressFn progress, intptr_t token)
{
    return f(data, len, flag, info, bits, progress, token);
}

static Library *libraryOf(uint32_t number)
{
    return number >= 1 && number <= libraryCount && libraries[number].module != NULL ? &libraries[number] : NULL;
}

static BOOL replyStatus(const BridgeMessage *message, int32_t result)
{
    const TavoStatusReply reply = {result, 0};
    return channelWrite((uint16_t)(message->header.type | TAVO_HOST_REPLY), message->header.call, NULL, 0, &reply,
                        sizeof reply, NULL, 0);
}

static BOOL fixedPart(const BridgeMessage *message, void *fixed, uint32_t size)
{
    if (message->payloadSize < size)
        return FALSE;
    memcpy(fixed, message->payload, size);
    return TRUE;
}

BOOL handleLoad(const BridgeMessage *message)
{
    TavoLoad request;
    if (!fixedPart(message, &request, sizeof request) || request.pathLength > TAVO_HOST_MAX_PATH ||
        request.pathLength != message->payloadSize - sizeof request)
        return FALSE;
    TavoLoadReply reply = {TAVO_LOAD_CANNOT_LOAD, 0, 0, 0};
    char *modulePath = NULL;
    WCHAR *path = windowsPathOf((const char *)message->payload + sizeof request, request.pathLength);
    HMODULE module = path != NULL && libraryCount < MAX_LIBRARIES ? LoadLibraryW(path) : NULL;
    if (path != NULL)
        HeapFree(GetProcessHeap(), 0, path);
    if (module != NULL) {
        Library *library = &libraries[libraryCount + 1];
        library->getPluginInfo = (GetPluginInfoFn)(void (*)(void))GetProcAddress(module, "GetPluginInfo");
        if (library->getPluginInfo == NULL) {
            FreeLibrary(module);
            reply.status = TAVO_LOAD_NO_PLUGIN_INFO;
        } else {
            library->module = module;
            library->isSupported = (IsSupportedFn)(void (*)(void))GetProcAddress(module, "IsSupported");
            library->getPictureInfo = (GetPictureInfoFn)(void (*)(void))GetProcAddress(module, "GetPictureInfo");
            library->getPicture = (GetPictureFn)(void (*)(void))GetProcAddress(module, "GetPicture");
            reply.status = TAVO_LOAD_OK;
            reply.library = ++libraryCount;
            reply.entries = (library->isSupported ? TAVO_ENTRY_IS_SUPPORTED : 0) |
                            (library->getPictureInfo ? TAVO_ENTRY_PICTURE_INFO : 0) |
                            (library->getPicture ? TAVO_ENTRY_PICTURE : 0) |
                            (GetProcAddress(module, "GetPreview") ? TAVO_ENTRY_PREVIEW : 0);
            WCHAR name[MAX_PATH + 1];
            const DWORD n = GetModuleFileNameW(module, name, MAX_PATH);
            if (n > 0 && n < MAX_PATH) {
                name[n] = 0;
                modulePath = unixPathOf(name);
            }
            if (modulePath != NULL && strlen(modulePath) <= TAVO_HOST_MAX_PATH)
                reply.pathLength = (uint32_t)strlen(modulePath);
        }
    }
    const BOOL written = channelWrite(TAVO_MSG_LOAD | TAVO_HOST_REPLY, message->header.call, NULL, 0, &reply,
                                      sizeof reply, modulePath, reply.pathLength);
    if (modulePath != NULL)
        HeapFree(GetProcessHeap(), 0, modulePath);
    return written;
}

BOOL handleUnload(const BridgeMessage *message)
{
    TavoUnload request;
    if (!fixedPart(message, &request, sizeof request))
        return FALSE;
    Library *library = libraryOf(request.library);
    if (library == NULL)
        return replyStatus(message, 1);
    FreeLibrary(library->module);
    memset(library, 0, sizeof *library);
    return replyStatus(message, 0);
}

/* The plug-in writes into the start of a larger zeroed area: a text that runs
 * past the length it was given harms nothing. */
static char infoArea[TAVO_HOST_MAX_INFO_TEXT + 65536];
static char utf8Text[TAVO_HOST_MAX_INFO_TEXT];

BOOL handlePluginInfo(const BridgeMessage *message)
{
    TavoPluginInfo request;
    if (!fixedPart(message, &request, sizeof request) || request.buflen < 1 ||
        request.buflen > (int32_t)TAVO_HOST_MAX_INFO_TEXT)
        return FALSE;
    Library *library = libraryOf(request.library);
    TavoPluginInfoReply reply = {0, 0};
    if (library != NULL) {
        memset(infoArea, 0, sizeof infoArea);
        reply.result = callPluginInfo(library->getPluginInfo, request.infono, infoArea, request.buflen);
        reply.textLength = pluginTextToUtf8(infoArea, (uint32_t)strnlen(infoArea, (size_t)request.buflen), utf8Text,
                                            (uint32_t)request.buflen);
    }
    return channelWrite(TAVO_MSG_PLUGIN_INFO | TAVO_HOST_REPLY, message->header.call, NULL, 0, &reply, sizeof reply,
                        utf8Text, reply.textLength);
}

BOOL handleIsSupported(const BridgeMessage *message)
{
    TavoIsSupported request;
    if (message->header.regionCount != 1 || !fixedPart(message, &request, sizeof request) ||
        request.nameLength > TAVO_HOST_MAX_PATH || request.nameLength != message->payloadSize - sizeof request)
        return FALSE;
    Library *library = libraryOf(request.library);
    MappedRegion data;
    int32_t result = 0;
    if (library != NULL && library->isSupported != NULL && message->regions[0].size >= TAVO_HOST_MIN_SUPPORTED_BLOCK &&
        regionMap(&message->regions[0], &data)) {
        char *name = pluginFileName((const char *)message->payload + sizeof request, request.nameLength);
        if (name != NULL) {
            result = callIsSupported(library->isSupported, name, data.data);
            HeapFree(GetProcessHeap(), 0, name);
        }
        regionUnmap(&data);
    }
    return replyStatus(message, result);
}

/* The result of a picture call the bridge could not make (an unknown library,
 * data it cannot map): the plug-in interface's "internal error". */
#define BRIDGE_CANNOT_CALL 8

/* The picture information block: 26 bytes with the handle at offset 22 on
 * 32-bit Windows, padded to put it at 24 on 64-bit. */
#ifdef _WIN64
#define INFO_TEXT_HANDLE_OFFSET 24
#else
#define INFO_TEXT_HANDLE_OFFSET 22
#endif

/* The bytes of a local-memory text up to its first zero, bounded by the
 * block's size, as UTF-8; the handle is freed, also when it cannot be locked. */
static uint32_t takeInfoText(HLOCAL handle, BOOL *locked)
{
    uint32_t length = 0;
    const char *text = LocalLock(handle);
    *locked = text != NULL;
    if (text != NULL) {
        SIZE_T size = LocalSize(handle);
        if (size > TAVO_HOST_MAX_INFO_TEXT)
            size = TAVO_HOST_MAX_INFO_TEXT;
        length = pluginTextToUtf8(text, (uint32_t)strnlen(text, size), utf8Text, TAVO_HOST_MAX_INFO_TEXT);
        LocalUnlock(handle);
    }
    LocalFree(handle);
    return length;
}

static BOOL pictureCall(const BridgeMessage *message, TavoPictureCall *request, Library **library)
{
    if (message->header.regionCount != 1 || !fixedPart(message, request, sizeof *request))
        return FALSE;
    *library = libraryOf(request->library);
    return TRUE;
}

/* Whether the data can be handed to the plug-in: mapped, and its length within
 * the region and within what this bridge's pointer width can pass. */
static BOOL mapData(const BridgeMessage *message, const TavoPictureCall *request, MappedRegion *data)
{
    return request->length <= message->regions[0].size && request->length <= (uint64_t)INTPTR_MAX &&
           regionMap(&message->regions[0], data);
}

BOOL handlePictureInfo(const BridgeMessage *message)
{
    TavoPictureCall request;
    Library *library;
    MappedRegion data;
    if (!pictureCall(message, &request, &library))
        return FALSE;
    TavoPictureInfoReply reply;
    memset(&reply, 0, sizeof reply);
    reply.result = BRIDGE_CANNOT_CALL;
    if (library != NULL && library->getPictureInfo != NULL && mapData(message, &request, &data)) {
        unsigned char area[256];
        memset(area, 0, sizeof area);
        reply.result = callPictureInfo(library->getPictureInfo, data.data, (intptr_t)request.length, request.flag, area);
        regionUnmap(&data);
        if (reply.result == 0) {
            memcpy(&reply.left, area, 16);
            memcpy(&reply.xDensity, area + 16, 2);
            memcpy(&reply.yDensity, area + 18, 2);
            memcpy(&reply.colorDepth, area + 20, 2);
            HLOCAL text;
            memcpy(&text, area + INFO_TEXT_HANDLE_OFFSET, sizeof text);
            if (text != NULL) {
                BOOL locked;
                reply.textLength = takeInfoText(text, &locked);
                reply.hasText = locked ? 1 : 0;
            }
        }
    }
    return channelWrite(TAVO_MSG_PICTURE_INFO | TAVO_HOST_REPLY, message->header.call, NULL, 0, &reply,
                        sizeof reply, utf8Text, reply.textLength);
}

/* Progress of the GetPicture under way. */
static CRITICAL_SECTION progressLock;
static BOOL pictureOpen;
static BOOL pictureBroken; /* the channel failed inside a relay */
static BOOL tokenWrong;
static intptr_t pictureToken;
static uint32_t pictureCallNumber;
static int lastAnswer;
static BOOL relayedOnce;
static LARGE_INTEGER lastRelay;
static LARGE_INTEGER ticksPerSecond;

#define RELAY_INTERVAL_MS 20

static int relay(int num, int denom)
{
    const TavoProgress progress = {num, denom};
    BridgeMessage answer;
    TavoStatusReply status;
    if (!channelWrite(TAVO_MSG_PROGRESS, pictureCallNumber, NULL, 0, &progress, sizeof progress, NULL, 0) ||
        !channelRead(&answer) || answer.header.type != (TAVO_MSG_PROGRESS | TAVO_HOST_REPLY) ||
        answer.header.call != pictureCallNumber || !fixedPart(&answer, &status, sizeof status)) {
        pictureBroken = TRUE;
        return 1;
    }
    return status.result;
}

static int __stdcall progressCallback(int num, int denom, intptr_t lData)
{
    EnterCriticalSection(&progressLock);
    int answer;
    if (!pictureOpen || pictureBroken) {
        answer = 1;
    } else if (lData != pictureToken) {
        /* The plug-in lost the value it was given: stop it. */
        tokenWrong = TRUE;
        answer = 1;
    } else {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const BOOL due = !relayedOnce || num == denom ||
                         (now.QuadPart - lastRelay.QuadPart) * 1000 >= RELAY_INTERVAL_MS * ticksPerSecond.QuadPart;
        if (due) {
            lastAnswer = relay(num, denom);
            relayedOnce = TRUE;
            QueryPerformanceCounter(&lastRelay);
        }
        answer = lastAnswer;
    }
    LeaveCriticalSection(&progressLock);
    return answer;
}

void callsInit(void)
{
    InitializeCriticalSection(&progressLock);
    QueryPerformanceFrequency(&ticksPerSecond);
}

/* Frees a handle a plug-in returned; a value that is no handle of this
 * process is the plug-in's fault, reported as its fault. */
static void freeReturned(HLOCAL handle)
{
    if (handle != NULL)
        LocalFree(handle);
}

/* Writes the two blocks a plug-in returned into region files; 0 regions when
 * a handle is no local-memory block of this process or a file cannot be written. */
static uint16_t sendableBlocks(HLOCAL info, HLOCAL bits, TavoHostRegion *regions)
{
    const SIZE_T infoSize = LocalSize(info);
    const SIZE_T bitsSize = LocalSize(bits);
    const void *infoBytes = infoSize > 0 ? LocalLock(info) : NULL;
    const void *bitsBytes = bitsSize > 0 ? LocalLock(bits) : NULL;
    uint16_t count = 0;
    if (infoBytes != NULL && bitsBytes != NULL && regionWrite(0, infoBytes, infoSize, &regions[0]) &&
        regionWrite(1, bitsBytes, bitsSize, &regions[1]))
        count = 2;
    if (infoBytes != NULL)
        LocalUnlock(info);
    if (bitsBytes != NULL)
        LocalUnlock(bits);
    return count;
}

BOOL handlePicture(const BridgeMessage *message)
{
    TavoPictureCall request;
    Library *library;
    MappedRegion data;
    if (!pictureCall(message, &request, &library))
        return FALSE;
    TavoPictureReply reply = {BRIDGE_CANNOT_CALL, 0};
    TavoHostRegion regions[2];
    uint16_t regionCount = 0;
    if (library != NULL && library->getPicture != NULL && mapData(message, &request, &data)) {
        HLOCAL info = NULL;
        HLOCAL bits = NULL;
        EnterCriticalSection(&progressLock);
        pictureOpen = TRUE;
        pictureBroken = FALSE;
        tokenWrong = FALSE;
        relayedOnce = FALSE;
        lastAnswer = 0;
        pictureCallNumber = message->header.call;
        pictureToken = (intptr_t)(0x5A5A0000u ^ (message->header.call * 2654435761u));
        LeaveCriticalSection(&progressLock);

        reply.result = callPicture(library->getPicture, data.data, (intptr_t)request.length, request.flag, &info,
                                   &bits, progressCallback, pictureToken);

        EnterCriticalSection(&progressLock);
        pictureOpen = FALSE;
        const BOOL broken = pictureBroken;
        const BOOL wrong = tokenWrong;
        LeaveCriticalSection(&progressLock);
        regionUnmap(&data);
        if (broken)
            return FALSE;
        if (wrong) {
            if (reply.result == 0) {
                freeReturned(info);
                freeReturned(bits);
            }
            reply.result = 1;
        } else if (reply.result == 0) {
            regionCount = sendableBlocks(info, bits, regions);
            freeReturned(info);
            freeReturned(bits);
        }
    }
    return channelWrite(TAVO_MSG_PICTURE | TAVO_HOST_REPLY, message->header.call, regions, regionCount, &reply,
                        sizeof reply, NULL, 0);
}
