#include "BridgeText.h"

#include <string.h>

#define PLUGIN_CODE_PAGE 932

typedef WCHAR *(CDECL *DosFileNameFn)(const char *);
typedef char *(CDECL *UnixFileNameFn)(const WCHAR *);

/* Wine's own conversions between its drives and Unix paths, looked up by
 * name: they are no part of the Windows interface. */
static FARPROC wineFunction(const char *name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != NULL ? GetProcAddress(kernel, name) : NULL;
}

static void *allocate(size_t size)
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

WCHAR *windowsPathOf(const char *unixPath, uint32_t length)
{
    char *terminated = allocate((size_t)length + 1);
    if (terminated == NULL)
        return NULL;
    memcpy(terminated, unixPath, length);
    terminated[length] = 0;
    WCHAR *path = NULL;
    DosFileNameFn toDos = (DosFileNameFn)(void (*)(void))wineFunction("wine_get_dos_file_name");
    if (toDos != NULL && length > 0) {
        path = toDos(terminated);
    } else {
        const int n = MultiByteToWideChar(CP_UTF8, 0, terminated, -1, NULL, 0);
        path = n > 0 ? allocate((size_t)n * sizeof(WCHAR)) : NULL;
        if (path != NULL)
            MultiByteToWideChar(CP_UTF8, 0, terminated, -1, path, n);
    }
    HeapFree(GetProcessHeap(), 0, terminated);
    return path;
}

char *unixPathOf(const WCHAR *windowsPath)
{
    UnixFileNameFn toUnix = (UnixFileNameFn)(void (*)(void))wineFunction("wine_get_unix_file_name");
    if (toUnix != NULL)
        return toUnix(windowsPath);
    const int n = WideCharToMultiByte(CP_UTF8, 0, windowsPath, -1, NULL, 0, NULL, NULL);
    char *path = n > 0 ? allocate((size_t)n) : NULL;
    if (path != NULL)
        WideCharToMultiByte(CP_UTF8, 0, windowsPath, -1, path, n, NULL, NULL);
    return path;
}

uint32_t pluginTextToUtf8(const char *text, uint32_t length, char *out, uint32_t limit)
{
    if (length == 0 || limit == 0)
        return 0;
    const int wide = MultiByteToWideChar(PLUGIN_CODE_PAGE, 0, text, (int)length, NULL, 0);
    WCHAR *buffer = wide > 0 ? allocate((size_t)wide * sizeof(WCHAR)) : NULL;
    const int bytes = buffer != NULL ? (MultiByteToWideChar(PLUGIN_CODE_PAGE, 0, text, (int)length, buffer, wide),
                                        WideCharToMultiByte(CP_UTF8, 0, buffer, wide, NULL, 0, NULL, NULL))
                                     : 0;
    char *utf8 = bytes > 0 ? allocate((size_t)bytes) : NULL;
    uint32_t kept = 0;
    if (utf8 != NULL) {
        WideCharToMultiByte(CP_UTF8, 0, buffer, wide, utf8, bytes, NULL, NULL);
        kept = (uint32_t)bytes;
        if (kept > limit) {
            /* Cut before the character that does not fit whole. */
            kept = limit;
            while (kept > 0 && ((unsigned char)utf8[kept] & 0xC0) == 0x80)
                --kept;
        }
        memcpy(out, utf8, kept);
        HeapFree(GetProcessHeap(), 0, utf8);
    }
    if (buffer != NULL)
        HeapFree(GetProcessHeap(), 0, buffer);
    return kept;
}

char *pluginFileName(const char *unixPath, uint32_t length)
{
    char *name = NULL;
    WCHAR *path = length > 0 ? windowsPathOf(unixPath, length) : NULL;
    if (path != NULL) {
        const int n = WideCharToMultiByte(PLUGIN_CODE_PAGE, 0, path, -1, NULL, 0, NULL, NULL);
        name = n > 0 ? allocate((size_t)n) : NULL;
        if (name != NULL)
            WideCharToMultiByte(PLUGIN_CODE_PAGE, 0, path, -1, name, n, NULL, NULL);
        HeapFree(GetProcessHeap(), 0, path);
    }
    if (name == NULL && (name = allocate(1)) != NULL)
        name[0] = 0; /* a stream without a name, or one Windows cannot name */
    return name;
}
