#include "BridgeChannel.h"

#include <string.h>

static HANDLE input;
static HANDLE output;
static CRITICAL_SECTION writeLock;
static unsigned char receiveBuffer[TAVO_HOST_MAX_MESSAGE];
static unsigned char sendBuffer[sizeof(TavoHostHeader) + TAVO_HOST_MAX_MESSAGE];

BOOL channelOpen(void)
{
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    InitializeCriticalSection(&writeLock);
    return input != NULL && input != INVALID_HANDLE_VALUE && output != NULL && output != INVALID_HANDLE_VALUE;
}

static BOOL readExact(void *buffer, DWORD size)
{
    unsigned char *at = buffer;
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(input, at, size, &got, NULL) || got == 0)
            return FALSE;
        at += got;
        size -= got;
    }
    return TRUE;
}

static BOOL writeExact(const void *buffer, DWORD size)
{
    const unsigned char *at = buffer;
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(output, at, size, &put, NULL) || put == 0)
            return FALSE;
        at += put;
        size -= put;
    }
    return TRUE;
}

BOOL channelRead(BridgeMessage *message)
{
    if (!readExact(&message->header, sizeof message->header))
        return FALSE;
    const TavoHostHeader *h = &message->header;
    const uint32_t regionBytes = (uint32_t)h->regionCount * sizeof(TavoHostRegion);
    if (h->size > TAVO_HOST_MAX_MESSAGE || h->regionCount > TAVO_HOST_MAX_REGIONS || regionBytes > h->size)
        return FALSE;
    if (!readExact(receiveBuffer, h->size))
        return FALSE;
    memcpy(message->regions, receiveBuffer, regionBytes);
    message->payload = receiveBuffer + regionBytes;
    message->payloadSize = h->size - regionBytes;
    return TRUE;
}

BOOL channelWrite(uint16_t type, uint32_t call, const TavoHostRegion *regions, uint16_t regionCount,
                  const void *fixed, uint32_t fixedSize, const void *bytes, uint32_t byteCount)
{
    const uint32_t regionBytes = (uint32_t)regionCount * sizeof(TavoHostRegion);
    const uint64_t size = (uint64_t)regionBytes + fixedSize + byteCount;
    if (regionCount > TAVO_HOST_MAX_REGIONS || size > TAVO_HOST_MAX_MESSAGE)
        return FALSE;
    EnterCriticalSection(&writeLock);
    TavoHostHeader header = {(uint32_t)size, type, regionCount, call, 0};
    unsigned char *at = sendBuffer;
    memcpy(at, &header, sizeof header);
    at += sizeof header;
    if (regionBytes > 0)
        memcpy(at, regions, regionBytes);
    at += regionBytes;
    if (fixedSize > 0)
        memcpy(at, fixed, fixedSize);
    at += fixedSize;
    if (byteCount > 0)
        memcpy(at, bytes, byteCount);
    at += byteCount;
    const BOOL written = writeExact(sendBuffer, (DWORD)(at - sendBuffer));
    LeaveCriticalSection(&writeLock);
    return written;
}
