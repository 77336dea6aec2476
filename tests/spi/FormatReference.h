// What the GIF, WebP and TIFF tests share: a folder of their own, the tools
// that make and decode the test pictures, and the comparison of a returned
// bitmap with the pixels a reference decoder gives.
#pragma once

#include "CorpusSupport.h"
#include "PluginHarness.h"

#include <initializer_list>
#include <string>

namespace tavo::spitest {

// A new empty folder under the test's temporary folder.
fs::path freshFolder(const std::string& prefix);

// The path in single quotes for a shell command.
std::string shellQuoted(const fs::path& path);

// The first of the programs that is not on the PATH; empty when all are.
std::string missingTool(std::initializer_list<const char*> programs);

// Pixels of the bitmap that differ by more than tolerance in a channel from
// rgba (top-down R, G, B, A bytes of the same size) composed over the
// plug-ins' background; -1 when the sizes differ. worst gets the largest difference.
long mismatches(const Dib& dib, const std::string& rgba, int tolerance, int* worst = nullptr);

// tiff2rgba's picture of a file (libtiff's own decoder to RGBA), its
// premultiplied rows composed over the background and handed on as opaque
// RGBA; scratch is the file tiff2rgba writes.
std::optional<std::string> tiff2rgbaPixels(const fs::path& file, const fs::path& scratch);

} // namespace tavo::spitest
