// What kind of library a plug-in file is, from its first bytes: which host
// can load it.
#pragma once

#include <string>

namespace tavo::platform {

enum class LibraryFormat {
    Other,         // neither: no host loads it
    Elf,           // a library for this system (the native host decides the rest)
    WindowsI386,   // a Windows library for 32-bit x86
    WindowsX86_64, // a Windows library for x86-64
};

// Reads the file's headers; Other when it cannot be read or is too short.
LibraryFormat libraryFormat(const std::string& path);

} // namespace tavo::platform
