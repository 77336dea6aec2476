// Where the program and the user's files are: the executable's own path, the
// user's configuration folder, and the process's arguments as it was started.
#pragma once

#include <string>
#include <vector>

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

// The arguments the process was started with, the program first, exactly as
// they were passed (before any toolkit takes its own options out).
std::vector<std::string> processArguments();

// The current folder; empty when it cannot be named (for instance, removed).
std::string currentFolder();

} // namespace tavo::platform
