// What a plug-in library told us in an earlier run (its load and its
// information texts), kept per file by path, size and modification time in
// $XDG_CACHE_HOME/tavotavo/plugin-info, so that a start registers the formats
// of Windows plug-ins without starting Wine. A changed file is asked again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavo {

struct LibraryFacts {
    std::int32_t status = 0;  // TAVO_LOAD_* of loading it
    std::uint32_t entries = 0; // TAVO_ENTRY_* it exports
    std::string modulePath;   // as its host reported it; empty: none
    std::optional<std::string> apiVersion; // info text 0, when it gave one
    std::optional<std::string> pluginName; // info text 1, when it gave one
    std::vector<std::string> filters;
    std::vector<std::string> filterNames;

    bool operator==(const LibraryFacts&) const = default;
};

// The cache file.
std::string pluginInfoCacheFile();

// The facts kept for the file at path, when its size and modification time
// are those it had then. A missing, unreadable or damaged cache is no error.
std::optional<LibraryFacts> rememberedFacts(const std::string& path);

// Keeps the facts for the file at path as it is now, and drops what is kept
// for files that are gone or changed. A cache that cannot be written is no error.
void rememberFacts(const std::string& path, const LibraryFacts& facts);

} // namespace tavo
