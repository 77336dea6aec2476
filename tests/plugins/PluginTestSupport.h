// Helpers of the plug-in tests: the built test plug-ins, temporary folders,
// environment overrides, test pictures and the record a test plug-in keeps.
#pragma once

#include "TestPlugin.h"
#include "plugins/SPI.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavo::test {

// The path of a built test plug-in, e.g. pluginPath("p1").
std::string pluginPath(const std::string& name);

// A fresh folder under the system's temporary folder, removed with everything
// in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Copies a test plug-in in under a name of the test's choosing; returns the path.
    std::string addPlugin(const std::string& plugin, const std::string& asName);
    std::string addFile(const std::string& name, const std::vector<uint8_t>& bytes);
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Sets (or unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Changes the current directory for the scope.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::filesystem::path& path);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::filesystem::path old_;
};

// The record the test plug-in behind spi keeps of its calls.
TestPluginState& pluginState(const TSPI& spi);

struct TestPicture {
    uint32_t flags = 0;
    int32_t width = 2;
    int32_t height = 2;
    uint16_t bitCount = 24;
    uint32_t clrUsed = 0;
    uint32_t pixelBytes = 0;
    uint8_t fill = 1;
    std::size_t size = TPIC_HEADER_SIZE; // total size, the rest filled with 0xEE
};
std::vector<uint8_t> makeTestPicture(const TestPicture& picture);

} // namespace tavo::test
