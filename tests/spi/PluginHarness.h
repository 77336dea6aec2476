// Loads a shipped plug-in from bin/ with dlopen and calls its entry points
// directly, as the host does, and reads the bitmap it returns.
#pragma once

#include "sdk/spi_plugin.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavo::spitest {

using Bytes = std::vector<std::uint8_t>;

class PluginModule {
public:
    explicit PluginModule(const std::string& fileName); // a name in bin/, e.g. "ifpng.spi"
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const;
    std::string info(std::int32_t infono, std::int32_t buflen = 255) const;
    // IsSupported over the host's 2048-byte block, zero-filled after short data.
    std::int32_t isSupported(const Bytes& data) const;
    std::int32_t pictureInfo(const Bytes& data, SPI_PICTINFO& info) const;

    decltype(&::GetPluginInfo) getPluginInfo = nullptr;
    decltype(&::IsSupported) isSupportedEntry = nullptr;
    decltype(&::GetPictureInfo) getPictureInfo = nullptr;
    decltype(&::GetPicture) getPicture = nullptr;

private:
    void* handle_ = nullptr;
};

struct Rgb {
    int red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A bitmap returned by GetPicture, copied out of the two handles (which are
// freed) and checked against the layout its header declares.
struct Dib {
    std::int32_t result = -100;
    std::int32_t width = 0, height = 0;
    int bitCount = 0;
    std::uint32_t colors = 0;
    Bytes header; // the whole info block
    Bytes bits;
    std::string layoutError; // empty when the blocks agree with the header
    Rgb pixel(int x, int y) const; // y from the top
};

// Progress calls recorded by the callback; abortAt stops at that count.
struct ProgressLog {
    std::vector<std::pair<std::int32_t, std::int32_t>> calls;
    std::int32_t abortAt = -1;
};
std::int32_t recordProgress(std::int32_t num, std::int32_t denom, std::intptr_t lData);

Dib decode(const PluginModule& module, const Bytes& data, ProgressLog* log = nullptr);

Bytes readFile(const std::string& path);

} // namespace tavo::spitest
