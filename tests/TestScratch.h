// Folders for test files that no other test process shares. ctest runs every
// test case as a process of its own and many at once, so a fixed name would let
// one case delete or overwrite what another is reading.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavo::test {

// A new, empty folder named after `name` under `parent`, removed with all it
// holds when the process ends.
inline std::filesystem::path uniqueScratchFolder(const std::string& name,
                                                 const std::filesystem::path& parent = std::filesystem::temp_directory_path())
{
    struct Made {
        std::mutex lock;
        std::vector<std::filesystem::path> folders;
        ~Made()
        {
            std::error_code ignored;
            for (const auto& folder : folders)
                std::filesystem::remove_all(folder, ignored);
        }
    };
    static Made made;
    std::filesystem::create_directories(parent);
    std::string pattern = (parent / (name + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed for " + pattern);
    const std::lock_guard<std::mutex> guard(made.lock);
    made.folders.emplace_back(pattern);
    return made.folders.back();
}

} // namespace tavo::test
