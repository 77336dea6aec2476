// For the HEIF, AVIF and JPEG XL plug-ins: pictures made with the formats'
// own command-line encoders, decoded as the viewer decodes them, and the
// pixels of the formats' own decoder tools to compare with.
#pragma once

#include "CorpusSupport.h"
#include "PluginHarness.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavo::spitest {

// 8-bit RGB samples, rows top-down.
struct Picture {
    int width = 0, height = 0;
    Bytes rgb;
    int bitCount = 24; // of the bitmap our decoder delivered
};

// The plug-in that reads a file with this extension (".heic", ".avif", ".jxl").
std::string pluginFor(const fs::path& file);

// The file decoded as the viewer decodes it: through tavotavo-decode when the
// build has it, otherwise (the sanitizer build) through the plug-in's entry
// points in this process. Nothing when the decode fails.
std::optional<Picture> decodeAsViewer(const fs::path& file);

// A picture file read by ImageMagick as 8-bit RGB, with 8-bit alpha composed
// over the plug-ins' background by the plug-ins' own rounding.
std::optional<Picture> readReference(const fs::path& file);

// The largest difference of a sample; -1 when the sizes differ.
int worstDifference(const Picture& a, const Picture& b);

// A scratch folder of the test's own, removed with the object.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Runs a command line; false (with the command in the test's failure) when it fails.
bool shell(const std::string& command);

} // namespace tavo::spitest
