// The user's configuration folder and what this process may write.
#pragma once

#include <string>

namespace tavo::platform {

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string configHome();

// True when this process may create and replace files in the folder.
bool isWritableFolder(const std::string& folder);

// True when the file exists and this process may write it.
bool isWritableFile(const std::string& path);

// True when something exists at the path.
bool pathExists(const std::string& path);

// True for a FIFO, socket or device: opening or reading one may wait forever.
bool isSpecialFile(const std::string& path);

} // namespace tavo::platform
