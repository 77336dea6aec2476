// tavotavo-make-samples FOLDER      writes the bundled sample pictures
// tavotavo-make-samples --jpeg W H OUT.jpg [--progressive]
//                                   writes one photo-like JPEG of that size
// Everything is computed from PhotoPattern.h, so the output is the same on
// every run.
#include "imaging/Bitmap.h"
#include "imaging/BmpWriter.h"
#include "tools/make-samples/PhotoPattern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using tavo::Bitmap;
using tavo::PaletteEntry;
using tavo::samples::photoRgb;

enum class JpegKind { Baseline, Progressive, Grey };

// libjpeg's own error handler ends the program with a message, which is what
// a command-line tool wants.
void writeJpeg(const std::string& path, std::int32_t width, std::int32_t height, JpegKind kind, int quality)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::exit(1);
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (kind == JpegKind::Grey)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (kind == JpegKind::Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

int nearestEntry(const std::vector<PaletteEntry>& palette, int r, int g, int b)
{
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int dr = r - palette[i].red, dg = g - palette[i].green, db = b - palette[i].blue;
        const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance)
            bestDistance = distance, best = static_cast<int>(i);
    }
    return best;
}

// The photo reduced to a palette with Floyd–Steinberg error diffusion.
Bitmap palettedPhoto(std::int32_t width, std::int32_t height, int bits, const std::vector<PaletteEntry>& palette)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    Bitmap bitmap(width, height, bits);
    bitmap.setPalette(palette);
    std::vector<int> error(static_cast<std::size_t>(width + 2) * 3 * 2, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        int* current = error.data() + (y % 2) * (width + 2) * 3;
        int* next = error.data() + ((y + 1) % 2) * (width + 2) * 3;
        std::fill(next, next + (width + 2) * 3, 0);
        std::uint8_t* row = bitmap.mutableRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] + current[(x + 1) * 3 + c] / 16, 0, 255);
            const int index = nearestEntry(palette, want[0], want[1], want[2]);
            const PaletteEntry& got = palette[static_cast<std::size_t>(index)];
            const int have[3] = {got.red, got.green, got.blue};
            for (int c = 0; c < 3; ++c) {
                const int e = want[c] - have[c];
                current[(x + 2) * 3 + c] += e * 7;
                next[x * 3 + c] += e * 3;
                next[(x + 1) * 3 + c] += e * 5;
                next[(x + 2) * 3 + c] += e;
            }
            if (bits == 8) {
                row[x] = static_cast<std::uint8_t>(index);
            } else if (bits == 4) {
                row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
            } else {
                row[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
            }
        }
    }
    return bitmap;
}

// 16 or 32 bits per pixel with the given masks (all zero: the default ones).
Bitmap maskedPhoto(std::int32_t width, std::int32_t height, int bits, tavo::ColorMasks masks)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    Bitmap bitmap(width, height, bits);
    bitmap.setMasks(masks);
    const tavo::ColorMasks m = bitmap.effectiveMasks();
    auto field = [](std::uint8_t value, std::uint32_t mask) {
        int shift = 0;
        while (!(mask >> shift & 1))
            ++shift;
        const std::uint32_t max = mask >> shift;
        return ((value * max + 127) / 255) << shift;
    };
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.mutableRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            const std::uint32_t pixel = field(p[0], m.red) | field(p[1], m.green) | field(p[2], m.blue);
            for (int i = 0; i < bits / 8; ++i)
                row[x * (bits / 8) + i] = static_cast<std::uint8_t>(pixel >> (8 * i));
        }
    }
    return bitmap;
}

Bitmap bgrPhoto(std::int32_t width, std::int32_t height)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    Bitmap bitmap(width, height, 24);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.mutableRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
        }
    }
    return bitmap;
}

std::vector<PaletteEntry> sixteenColours()
{
    // The classic 16-colour VGA set.
    static const std::uint8_t rgb[16][3] = {
        {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128},
        {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255},
        {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    std::vector<PaletteEntry> palette;
    for (const auto& c : rgb)
        palette.push_back({c[2], c[1], c[0], 0});
    return palette;
}

std::vector<PaletteEntry> colourCube()
{
    // 6 × 7 × 6 levels: 252 entries, more shades of green, which the eye sees best.
    std::vector<PaletteEntry> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back({static_cast<std::uint8_t>(b * 51), static_cast<std::uint8_t>(g * 255 / 6),
                                   static_cast<std::uint8_t>(r * 51), 0});
    return palette;
}

void writeSamples(const std::string& folder)
{
    writeJpeg(folder + "/photo-baseline.jpg", 1600, 1200, JpegKind::Baseline, 85);
    writeJpeg(folder + "/photo-progressive.jpg", 1200, 900, JpegKind::Progressive, 85);
    writeJpeg(folder + "/photo-grey.jpg", 1024, 768, JpegKind::Grey, 85);
    tavo::writeBmpFile(folder + "/photo-1bit.bmp", palettedPhoto(1600, 1200, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}}));
    tavo::writeBmpFile(folder + "/photo-4bit.bmp", palettedPhoto(800, 600, 4, sixteenColours()));
    tavo::writeBmpFile(folder + "/photo-8bit.bmp", palettedPhoto(640, 480, 8, colourCube()));
    tavo::writeBmpFile(folder + "/photo-16bit-565.bmp", maskedPhoto(400, 300, 16, {0xF800, 0x07E0, 0x001F}));
    tavo::writeBmpFile(folder + "/photo-24bit.bmp", bgrPhoto(320, 240));
    tavo::writeBmpFile(folder + "/photo-32bit.bmp", maskedPhoto(256, 192, 32, {}));
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc >= 5 && std::strcmp(argv[1], "--jpeg") == 0) {
            const bool progressive = argc >= 6 && std::strcmp(argv[5], "--progressive") == 0;
            writeJpeg(argv[4], std::atoi(argv[2]), std::atoi(argv[3]),
                      progressive ? JpegKind::Progressive : JpegKind::Baseline, 90);
            return 0;
        }
        if (argc == 2) {
            writeSamples(argv[1]);
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: tavotavo-make-samples FOLDER\n"
                         "       tavotavo-make-samples --jpeg WIDTH HEIGHT OUT.jpg [--progressive]\n");
    return 2;
}
