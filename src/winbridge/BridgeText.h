/* Paths and texts between the viewer's world (Unix paths, UTF-8) and the
 * plug-ins' (Windows paths, Shift-JIS: code page 932, the text of Susie
 * plug-ins whatever the locale Wine runs in). */
#ifndef BRIDGE_TEXT_H
#define BRIDGE_TEXT_H

#include <stdint.h>
#include <windows.h>

/* The Windows path of a Unix path (not zero-terminated, UTF-8); NULL when
 * there is none. Free with HeapFree(GetProcessHeap(), 0, ...). */
WCHAR *windowsPathOf(const char *unixPath, uint32_t length);

/* The Unix path of a Windows path, UTF-8; NULL when there is none. Free with
 * HeapFree(GetProcessHeap(), 0, ...). */
char *unixPathOf(const WCHAR *windowsPath);

/* A plug-in's text (Shift-JIS, length bytes) as UTF-8 in out, at most limit
 * bytes and never a character cut in two; returns the bytes written. */
uint32_t pluginTextToUtf8(const char *text, uint32_t length, char *out, uint32_t limit);

/* A zero-terminated Shift-JIS name for a plug-in: the Windows path of a Unix
 * path (UTF-8, length bytes). Free with HeapFree(GetProcessHeap(), 0, ...). */
char *pluginFileName(const char *unixPath, uint32_t length);

#endif
