// Starting another program, detached: the viewer neither waits for it nor
// leaves a zombie behind, and no shell ever sees the arguments.
#pragma once

#include <string>
#include <vector>

namespace tavo::platform {

// Starts argv[0] (looked up in PATH when it holds no "/") with the arguments
// as they are. Returns false when the program could not be started.
bool startDetached(const std::vector<std::string>& argv);

struct FileFacts {
    bool exists = false;
    bool isExecutableFile = false; // a regular file this user may execute
};

FileFacts fileFacts(const std::string& path);

// The whole text of a small file, or empty when it cannot be read.
std::string readSmallTextFile(const std::string& path, std::size_t limit = 1 << 20);

} // namespace tavo::platform
