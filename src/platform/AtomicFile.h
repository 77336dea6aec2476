// Whole-file reads and writes for small files that must never be left half
// written (the settings file).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavo::platform {

// The file's bytes; nothing when it is missing or cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Replaces the file with `contents` so that a crash or a full disk leaves
// either the old file or the new one: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one. A link is followed and
// the file's permissions are kept. Throws ESystemError.
void replaceFileAtomically(const std::string& path, std::string_view contents);

// Creates the folder and any missing parents with `mode`. Throws ESystemError.
void createFolders(const std::string& path, unsigned mode);

} // namespace tavo::platform
