// PngSuite, the PNG conformance files, through the PNG plug-in: every valid
// file must give the pixels ImageMagick reads from it (composed over the same
// background), every broken one (x*.png) must be refused. The files come from
// Debian's packages at test time; without them the tests skip.
#include "CorpusSupport.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tavo::spitest {
namespace {

int compose(int value, int alpha)
{
    return (value * alpha + 240 * (255 - alpha) + 127) / 255;
}

class PngSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!run("convert -version"))
            return;
        haveConvert = true;
        if (auto root = fetch("source libstb"))
            stbSuite = *root / "tests/pngsuite";
        if (auto root = fetch("binary golang-1.19-src usr/share/go-1.19/src/image"))
            goSuite = *root / "png/testdata";
    }
    void SetUp() override
    {
        if (!haveConvert)
            GTEST_SKIP() << "ImageMagick's convert is not installed (package imagemagick)";
        ASSERT_TRUE(png.loaded());
    }

    // The file decodes, and each pixel matches ImageMagick's reading of it:
    // exactly for 8-bit files; within 1 for 16-bit ones, where ImageMagick
    // composes 8-bit rounded values and the plug-in composes at 16 bits.
    void expectDecodesLikeImageMagick(const fs::path& file)
    {
        SCOPED_TRACE(file.string());
        const Bytes data = readFile(file);
        ASSERT_NE(png.isSupported(data), 0);
        SPI_PICTINFO info;
        ASSERT_EQ(png.pictureInfo(data, info), SPI_ALL_RIGHT);
        const Dib dib = decode(png, data);
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.width, info.width);
        EXPECT_EQ(dib.height, info.height);
        EXPECT_EQ(dib.bitCount, info.colorDepth);
        // ImageMagick turns pixels of a file that declares gamma 1.0 into sRGB;
        // naming the colour space keeps the stored values, which the plug-in
        // delivers (it applies no gamma).
        const auto rgba = run("convert '" + file.string() + "' -set colorspace sRGB -depth 8 rgba:-");
        ASSERT_TRUE(rgba.has_value());
        ASSERT_EQ(rgba->size(), std::size_t(dib.width) * std::size_t(dib.height) * 4);
        const int tolerance = data.size() > 24 && data[24] == 16 ? 1 : 0;
        int worst = 0, mismatches = 0;
        for (int y = 0; y < dib.height; ++y) {
            for (int x = 0; x < dib.width; ++x) {
                const auto* p = reinterpret_cast<const std::uint8_t*>(rgba->data()) + 4 * (std::size_t(y) * dib.width + x);
                const Rgb expected{compose(p[0], p[3]), compose(p[1], p[3]), compose(p[2], p[3])};
                const Rgb actual = dib.pixel(x, y);
                const int diff = std::max({std::abs(actual.red - expected.red), std::abs(actual.green - expected.green),
                                           std::abs(actual.blue - expected.blue)});
                worst = std::max(worst, diff);
                mismatches += diff > tolerance;
            }
        }
        EXPECT_EQ(mismatches, 0) << "largest difference " << worst;
        ++decoded;
    }

    void expectRefused(const fs::path& file)
    {
        SCOPED_TRACE(file.string());
        const Bytes data = readFile(file);
        SPI_PICTINFO info;
        png.pictureInfo(data, info); // may or may not see the damage; must not fault
        EXPECT_NE(decode(png, data).result, SPI_ALL_RIGHT);
        ++refused;
    }

    static inline bool haveConvert = false;
    static inline fs::path stbSuite, goSuite;
    PluginModule png{"ifpng.spi"};
    int decoded = 0, refused = 0;
};

TEST_F(PngSuite, CompleteSuiteDecodesValidFilesAndRefusesBrokenOnes)
{
    if (stbSuite.empty() || !fs::is_directory(stbSuite))
        GTEST_SKIP() << "PngSuite not available: tests/corpora/fetch.sh source libstb failed";
    const std::size_t handles = platform::liveLocalHandleCount();
    for (const char* folder : {"primary", "16bit", "unused"})
        for (const auto& file : filesIn(stbSuite / folder, ".png"))
            expectDecodesLikeImageMagick(file);
    for (const auto& file : filesIn(stbSuite / "corrupt", ".png"))
        expectRefused(file);
    // Apple's CgBI variant is not PNG: its IHDR does not come first.
    for (const auto& file : filesIn(stbSuite / "iphone", ".png"))
        expectRefused(file);
    EXPECT_EQ(platform::liveLocalHandleCount(), handles);
    EXPECT_GE(decoded, 150);
    EXPECT_GE(refused, 14);
    std::printf("PngSuite: %d files decoded as ImageMagick reads them, %d refused\n", decoded, refused);
}

TEST_F(PngSuite, ReferenceSubsetAndDamagedFilesOfTheGoSources)
{
    if (goSuite.empty() || !fs::is_directory(goSuite))
        GTEST_SKIP() << "Go's PNG test files not available: tests/corpora/fetch.sh binary golang-1.19-src failed";
    for (const auto& file : filesIn(goSuite / "pngsuite", ".png"))
        expectDecodesLikeImageMagick(file);
    for (const auto& file : filesIn(goSuite, ".png"))
        if (file.filename().string().starts_with("invalid-")) {
            const std::string name = file.filename().string();
            // A missing or cut IEND after complete image data, and palette
            // indices beyond the palette (drawn black), still give a picture.
            if (name == "invalid-noend.png" || name == "invalid-trunc.png" || name == "invalid-palette.png") {
                EXPECT_EQ(decode(png, readFile(file)).result, SPI_ALL_RIGHT) << name;
                continue;
            }
            expectRefused(file);
        }
    EXPECT_GE(decoded, 35);
    std::printf("Go's PngSuite subset: %d files decoded, %d damaged files refused\n", decoded, refused);
}

} // namespace
} // namespace tavo::spitest
