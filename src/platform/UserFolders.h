// Where the program and the user's files are: the executable's own path, the
// user's configuration folder, the current folder.
#pragma once

#include <string>

namespace tavo::platform {

// The full path of the running executable, as the kernel reports it.
// Throws ESystemError.
std::string executablePath();

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string configHome();

// True when this process may create and replace files in the folder.
bool isWritableFolder(const std::string& folder);

// True when the file exists and this process may write it.
bool isWritableFile(const std::string& path);

// True when something exists at the path.
bool pathExists(const std::string& path);

// The current folder; empty when it cannot be named (for instance, removed).
std::string currentFolder();

} // namespace tavo::platform
