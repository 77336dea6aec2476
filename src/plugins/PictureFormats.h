// The process-wide picture-format table: which graphic class is registered for
// which file extension. The registry of plug-ins fills it; nothing in the viewer
// chooses a decoder through it (the load chooses by extension itself).
#pragma once

#include <string>
#include <vector>

namespace tavo {

// A graphic class as a value; TSPIBitmap has one.
struct TGraphicClassInfo {
    const char* name;
};
using TGraphicClass = const TGraphicClassInfo*;

struct PictureFormat {
    std::string extension; // without its dot
    std::string description;
    TGraphicClass graphicClass;
};

void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicClass graphicClass);

// The entries in the order registered; the same extension may stand more than once.
std::vector<PictureFormat> registeredFileFormats();

} // namespace tavo
