#include "BridgeRegions.h"

#include "BridgeText.h"

#include <stdio.h>
#include <string.h>

static WCHAR folderPath[MAX_PATH];
static uint32_t nextCarrier = BRIDGE_FIRST_OWN_CARRIER;

BOOL regionsOpen(const char *folder, uint32_t length)
{
    WCHAR *path = windowsPathOf(folder, length);
    if (path == NULL)
        return FALSE;
    const BOOL fits = wcslen(path) + 32 < MAX_PATH;
    if (fits)
        wcscpy(folderPath, path);
    HeapFree(GetProcessHeap(), 0, path);
    return fits;
}

static void regionPath(uint32_t carrier, WCHAR *path)
{
    _snwprintf(path, MAX_PATH, L"%ls\\region-%u", folderPath, (unsigned)carrier);
    path[MAX_PATH - 1] = 0;
}

BOOL regionMap(const TavoHostRegion *region, MappedRegion *mapped)
{
    WCHAR path[MAX_PATH];
    memset(mapped, 0, sizeof *mapped);
    regionPath(region->carrier, path);
    mapped->file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mapped->file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(mapped->file, &fileSize) || fileSize.QuadPart <= 0 ||
        region->offset > (uint64_t)fileSize.QuadPart || region->size > (uint64_t)fileSize.QuadPart - region->offset ||
        (uint64_t)fileSize.QuadPart > (SIZE_T)-1) {
        regionUnmap(mapped);
        return FALSE;
    }
    mapped->mapping = CreateFileMappingW(mapped->file, NULL, PAGE_WRITECOPY, 0, 0, NULL);
    if (mapped->mapping != NULL)
        mapped->view = MapViewOfFile(mapped->mapping, FILE_MAP_COPY, 0, 0, 0);
    if (mapped->view == NULL) {
        regionUnmap(mapped);
        return FALSE;
    }
    mapped->data = mapped->view + region->offset;
    mapped->size = region->size;
    return TRUE;
}

void regionUnmap(MappedRegion *mapped)
{
    if (mapped->view != NULL)
        UnmapViewOfFile(mapped->view);
    if (mapped->mapping != NULL)
        CloseHandle(mapped->mapping);
    if (mapped->file != NULL && mapped->file != INVALID_HANDLE_VALUE)
        CloseHandle(mapped->file);
    memset(mapped, 0, sizeof *mapped);
}

BOOL regionWrite(const void *bytes, uint64_t size, TavoHostRegion *region)
{
    WCHAR path[MAX_PATH];
    const uint32_t carrier = nextCarrier++;
    regionPath(carrier, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    const unsigned char *at = bytes;
    uint64_t left = size;
    BOOL written = TRUE;
    while (written && left > 0) {
        const DWORD piece = left > 0x40000000u ? 0x40000000u : (DWORD)left;
        DWORD put = 0;
        written = WriteFile(file, at, piece, &put, NULL) && put > 0;
        at += put;
        left -= put;
    }
    CloseHandle(file);
    if (!written) {
        DeleteFileW(path);
        return FALSE;
    }
    memset(region, 0, sizeof *region);
    region->size = size;
    region->carrier = carrier;
    return TRUE;
}

void regionDiscard(const TavoHostRegion *region)
{
    WCHAR path[MAX_PATH];
    regionPath(region->carrier, path);
    DeleteFileW(path);
}
