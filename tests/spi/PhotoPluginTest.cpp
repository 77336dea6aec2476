// The shipped plug-ins deliver photographs upright and in sRGB: the PNG
// plug-in from eXIf and iCCP chunks, the JPEG plug-in from APP1 and APP2.
// Orientations are checked against the tag's definition pixel by pixel,
// colours against ImageMagick's conversion to sRGB.
#include "PluginHarness.h"
#include "TestImages.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tavo::spitest {
namespace {

namespace fs = std::filesystem;

// Sides that leave row padding either way round, and more stored rows than
// one band of a quarter turn.
constexpr int kWidth = 37;
constexpr int kHeight = 45;

void putBig32(Bytes& bytes, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(std::uint8_t(value >> shift));
}

// The PNG file with one more chunk right after its header chunk.
Bytes withChunk(const Bytes& png, const char* type, const Bytes& data)
{
    Bytes chunk;
    putBig32(chunk, std::uint32_t(data.size()));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    putBig32(chunk, std::uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))));
    Bytes result = png;
    result.insert(result.begin() + 33, chunk.begin(), chunk.end()); // signature 8 + IHDR 25
    return result;
}

// Big-endian EXIF data whose first directory holds only the orientation.
Bytes exifOrientation(int value)
{
    return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, std::uint8_t(value), 0, 0, 0, 0, 0, 0};
}

std::array<int, 2> uprightPosition(int orientation, int x, int y, int w, int h)
{
    switch (orientation) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {h - 1 - y, x};
    case 7: return {h - 1 - y, w - 1 - x};
    case 8: return {y, w - 1 - x};
    default: return {x, y};
    }
}

TEST(PhotoPlugins, PngTurnsTruecolourAndPalettePicturesAsTheirEXifChunkSays)
{
    const PluginModule png("ifpng.spi");
    ASSERT_TRUE(png.loaded());
    PngLayout truecolour, palette;
    truecolour.width = palette.width = kWidth;
    truecolour.height = palette.height = kHeight;
    palette.colorType = 3;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            truecolour.pixels.insert(truecolour.pixels.end(), {std::uint8_t(x * 6), std::uint8_t(y * 5), std::uint8_t(x * y)});
            palette.pixels.push_back(std::uint8_t((x * 7 + y * 3) % 256));
        }
    for (int i = 0; i < 256; ++i)
        palette.palette.insert(palette.palette.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3)});

    for (const PngLayout* picture : {&truecolour, &palette}) {
        const Bytes plain = encodePng(*picture);
        const Dib stored = decode(png, plain);
        ASSERT_EQ(stored.result, SPI_ALL_RIGHT);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::to_string(picture->colorType) + " orientation " + std::to_string(orientation));
            const Bytes file = withChunk(plain, "eXIf", exifOrientation(orientation));
            const bool swapped = orientation >= 5;
            SPI_PICTINFO info;
            ASSERT_EQ(png.pictureInfo(file, info), SPI_ALL_RIGHT);
            EXPECT_EQ(info.width, swapped ? kHeight : kWidth);
            const Dib dib = decode(png, file);
            ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
            EXPECT_EQ(dib.layoutError, "");
            ASSERT_EQ(dib.width, swapped ? kHeight : kWidth);
            ASSERT_EQ(std::abs(dib.height), swapped ? kWidth : kHeight);
            int misplaced = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const auto [u, v] = uprightPosition(orientation, x, y, kWidth, kHeight);
                    misplaced += !(dib.pixel(u, v) == stored.pixel(x, y));
                }
            EXPECT_EQ(misplaced, 0);
            // Row padding is zero, also where a quarter turn wrote the rows.
            const std::size_t used = std::size_t(dib.width) * std::size_t(dib.bitCount / 8);
            const std::size_t stride = (used + 3) / 4 * 4;
            int dirty = 0;
            for (std::size_t row = 0; row < std::size_t(std::abs(dib.height)); ++row)
                for (std::size_t i = used; i < stride; ++i)
                    dirty += dib.bits[row * stride + i] != 0;
            EXPECT_EQ(dirty, 0);
        }
    }
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }
std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Pixels of the bitmap that differ from a PPM by more than tolerance.
long differingPixels(const Dib& dib, const fs::path& ppm, int tolerance)
{
    const Bytes bytes = readFile(ppm.string());
    const std::string header = "P6\n" + std::to_string(dib.width) + " " + std::to_string(std::abs(dib.height)) + "\n255\n";
    if (bytes.size() != header.size() + std::size_t(dib.width) * std::abs(dib.height) * 3 ||
        !std::equal(header.begin(), header.end(), bytes.begin()))
        return -1;
    long count = 0;
    const std::uint8_t* p = bytes.data() + header.size();
    for (int y = 0; y < std::abs(dib.height); ++y)
        for (int x = 0; x < dib.width; ++x, p += 3) {
            const Rgb c = dib.pixel(x, y);
            count += std::abs(c.red - p[0]) > tolerance || std::abs(c.green - p[1]) > tolerance ||
                     std::abs(c.blue - p[2]) > tolerance;
        }
    return count;
}

TEST(PhotoPlugins, EmbeddedProfilesConvertLikeImageMagickAndJpegTurnsToo)
{
    const fs::path icc = "/usr/share/color/icc";
    if (!run("command -v convert >/dev/null && command -v exiftool >/dev/null") || !fs::exists(icc / "sRGB.icc") ||
        !fs::exists(icc / "compatibleWithAdobeRGB1998.icc"))
        GTEST_SKIP() << "convert (imagemagick), exiftool and the profiles of icc-profiles-free are needed";
    const PluginModule png("ifpng.spi"), jpeg("ifjpeg.spi");
    ASSERT_TRUE(png.loaded() && jpeg.loaded());
    const fs::path folder = fs::path(TAVO_BINARY_DIR) / "test-scratch" / "photo-plugins";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string adobe = " -profile " + quoted(icc / "compatibleWithAdobeRGB1998.icc") + " ";
    const std::string srgb = " -profile " + quoted(icc / "sRGB.icc") + " ";
    ASSERT_TRUE(run("convert -size 97x61 gradient:'#20c040'-'#f03010' \\( -size 97x61 gradient:'#1040ff'-'#ffe020' -rotate 90 -resize 97x61! \\) "
                    "-compose blend -define compose:args=50 -composite -depth 8 " + quoted(folder / "photo.ppm")));
    for (const char* name : {"adobe.png", "adobe.jpg", "alpha.png", "adobe16.png"}) {
        const std::string extra = std::string(name) == "alpha.png" ? " -alpha set -channel A -evaluate set 60% +channel "
            : std::string(name) == "adobe16.png"                   ? " -depth 16 -define png:bit-depth=16 "
                                                                   : " ";
        ASSERT_TRUE(run("convert " + quoted(folder / "photo.ppm") + extra + adobe + quoted(folder / name)));
    }
    ASSERT_TRUE(run("convert " + quoted(folder / "photo.ppm") + srgb + quoted(folder / "srgb.png")));
    ASSERT_TRUE(run("convert " + quoted(folder / "photo.ppm") + " " + quoted(folder / "plain.png")));
    ASSERT_TRUE(run("exiftool -q -overwrite_original -n -Orientation=6 " + quoted(folder / "adobe.jpg")));

    struct Case {
        const PluginModule* module;
        const char* file;
        std::string reference; // ImageMagick's operations
        int tolerance;
    };
    const Case cases[] = {
        {&png, "adobe.png", srgb, 2},
        // 16-bit samples are converted once reduced to 8 bits.
        {&png, "adobe16.png", srgb, 2},
        {&jpeg, "adobe.jpg", "-auto-orient" + srgb, 2},
        // Transparency is composed over the background after the conversion.
        {&png, "alpha.png", srgb + "-background '#f0f0f0' -flatten", 2},
        // An sRGB profile leaves the pixels exactly as stored.
        {&png, "srgb.png", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path reference = folder / (std::string(c.file) + ".ppm");
        ASSERT_TRUE(run("convert " + quoted(folder / c.file) + " " + c.reference + " -depth 8 " + quoted(reference)));
        const Dib dib = decode(*c.module, readFile((folder / c.file).string()));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        EXPECT_EQ(differingPixels(dib, reference, c.tolerance), 0);
    }
}

} // namespace
} // namespace tavo::spitest
