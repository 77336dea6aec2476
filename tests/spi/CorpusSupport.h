// Test corpora from Debian's packages (tests/corpora/fetch.sh) and the
// ImageMagick command that serves as the independent decoder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavo::spitest {

namespace fs = std::filesystem;

// Runs a shell command and returns its standard output; nothing when it fails.
std::optional<std::string> run(const std::string& command);

// Runs tests/corpora/fetch.sh with the arguments; the folder it printed.
std::optional<fs::path> fetch(const std::string& arguments);

// The files of a folder with the extension, sorted by name.
std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension);

} // namespace tavo::spitest
