// Helpers of the JPEG decoder tests: photo-like input pictures, the command-line
// coders of libjpeg-turbo (cjpeg, djpeg) as the reference, and PNM files, the
// simplest format both sides can read.
#pragma once

#include "imaging/Bitmap.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavo::test {

struct Pnm {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int channels = 0; // 1 grey, 3 red-green-blue
    std::vector<std::uint8_t> samples;
    bool valid() const { return channels != 0; }
};

// A fresh folder for one test's files, of this process alone; removed at exit.
std::filesystem::path scratchFolder(const std::string& name);

bool commandAvailable(const std::string& name);
// Runs a shell command line; true when it exited with status 0 (or, for djpeg,
// the warning status 2 that a truncated file gives).
bool run(const std::string& commandLine);
std::string quoted(const std::filesystem::path& path);

void writePpm(const std::filesystem::path& path, std::int32_t width, std::int32_t height,
              const std::vector<std::uint8_t>& rgb);
Pnm readPnm(const std::filesystem::path& path);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Pixels of the bitmap (through its palette, if any) that differ from the
// reference, beyond tolerance in any channel; -1 when the sizes differ.
long differingPixels(const Bitmap& bitmap, const Pnm& reference, int tolerance = 0);
// Mean absolute difference per channel over the whole picture.
double meanAbsoluteDifference(const Bitmap& bitmap, const Pnm& reference);

} // namespace tavo::test
