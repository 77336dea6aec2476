// The folders a plug-in search visits, and the file search itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo::platform {

// The Susie plug-in folder from the read-only stand-in for the registry value
// "Path" of the key \Software\Takechin\Susie\Plug-in: the per-user file
// $XDG_CONFIG_HOME/Susie/Plug-in (~/.config/Susie/Plug-in when XDG_CONFIG_HOME
// is unset, empty or relative), lines of Name=Value, names matched ignoring
// ASCII case, blank lines and lines starting with ";" or "#" ignored.
// Nothing when the file cannot be opened (the key is missing) or cannot be
// read (a registry error); an empty text when it has no "Path".
std::optional<std::string> susieRegistryPath();

// The path of the stand-in file itself (documented for users).
std::string susieRegistryFile();

// The folder of the running executable, without a trailing "/" (except "/").
std::string programFolder();

// The current directory; empty when it cannot be had.
std::string currentFolder();

// The names in folder that match mask ("*" and "?", ASCII letters in any case):
// files only (symbolic links count by what they point to), hidden files (a
// leading ".") skipped, in the order the file system returns them. A folder
// that cannot be read gives nothing.
std::vector<std::string> findFiles(const std::string& folder, const std::string& mask);

// Whether name matches mask ("*" and "?", ASCII case ignored).
bool matchesMask(const std::string& name, const std::string& mask);

} // namespace tavo::platform
