#include "BridgeRegions.h"

#include "BridgeText.h"

#include <stdio.h>
#include <string.h>

static WCHAR folderPath[MAX_PATH];

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

/* The bridge sends its blocks in the same two files every time: their pages
 * are kept, and writing into them again costs no new memory. */
static HANDLE ownFiles[2];

BOOL regionWrite(unsigned slot, const void *bytes, uint64_t size, TavoHostRegion *region)
{
    if (slot >= 2)
        return FALSE;
    const uint32_t carrier = BRIDGE_FIRST_OWN_CARRIER + slot;
    if (ownFiles[slot] == NULL) {
        WCHAR path[MAX_PATH];
        regionPath(carrier, path);
        ownFiles[slot] = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
        if (ownFiles[slot] == INVALID_HANDLE_VALUE) {
            ownFiles[slot] = NULL;
            return FALSE;
        }
    }
    HANDLE file = ownFiles[slot];
    LARGE_INTEGER start;
    start.QuadPart = 0;
    BOOL written = SetFilePointerEx(file, start, NULL, FILE_BEGIN);
    const unsigned char *at = bytes;
    uint64_t left = size;
    while (written && left > 0) {
        const DWORD piece = left > 0x40000000u ? 0x40000000u : (DWORD)left;
        DWORD put = 0;
        written = WriteFile(file, at, piece, &put, NULL) && put > 0;
        at += put;
        left -= put;
    }
    if (!written)
        return FALSE;
    memset(region, 0, sizeof *region);
    region->size = size;
    region->carrier = carrier;
    return TRUE;
}
