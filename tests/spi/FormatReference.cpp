#include "FormatReference.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace tavo::spitest {

fs::path freshFolder(const std::string& prefix)
{
    std::string pattern = ::testing::TempDir() + "/" + prefix + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

std::string shellQuoted(const fs::path& path)
{
    std::string out = "'";
    for (char c : path.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string missingTool(std::initializer_list<const char*> programs)
{
    for (const char* program : programs)
        if (!run(std::string("command -v ") + program + " >/dev/null"))
            return program;
    return {};
}

long mismatches(const Dib& dib, const std::string& rgba, int tolerance, int* worst)
{
    if (rgba.size() != std::size_t(dib.width) * std::size_t(std::abs(dib.height)) * 4)
        return -1;
    const auto over = [](int value, int alpha) { return (value * alpha + 240 * (255 - alpha) + 127) / 255; };
    long count = 0;
    int largest = 0;
    for (int y = 0; y < std::abs(dib.height); ++y)
        for (int x = 0; x < dib.width; ++x) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(rgba.data()) + 4 * (std::size_t(y) * dib.width + x);
            const Rgb actual = dib.pixel(x, y);
            const int diff = std::max({std::abs(actual.red - over(p[0], p[3])), std::abs(actual.green - over(p[1], p[3])),
                                       std::abs(actual.blue - over(p[2], p[3]))});
            largest = std::max(largest, diff);
            count += diff > tolerance;
        }
    if (worst != nullptr)
        *worst = largest;
    return count;
}

// tiff2rgba's picture of a file: its premultiplied RGBA rows, already composed
// over the background and handed on as opaque RGBA.
std::optional<std::string> tiff2rgbaPixels(const fs::path& file, const fs::path& scratch)
{
    if (!run("tiff2rgba -c none " + shellQuoted(file) + " " + shellQuoted(scratch)))
        return std::nullopt;
    TIFF* in = TIFFOpen(scratch.c_str(), "r");
    if (in == nullptr)
        return std::nullopt;
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 0;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(in, TIFFTAG_SAMPLESPERPIXEL, &samples);
    std::string out;
    std::vector<std::uint8_t> row(std::size_t(TIFFScanlineSize(in)));
    for (std::uint32_t y = 0; samples == 4 && y < height; ++y) {
        if (TIFFReadScanline(in, row.data(), y, 0) < 0)
            break;
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = row.data() + 4 * x;
            for (int c = 0; c < 3; ++c)
                out += char(std::min(255, p[c] + (240 * (255 - p[3]) + 127) / 255));
            out += char(255);
        }
    }
    TIFFClose(in);
    if (out.size() != std::size_t(width) * height * 4)
        return std::nullopt;
    return out;
}

} // namespace tavo::spitest
