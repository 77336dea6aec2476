// The TIFF plug-in through its entry points, on pictures written by
// ImageMagick and rewritten by tiffcp in every compression and layout, and
// checked against tiff2rgba, libtiff's own decoder to RGBA.
#include "FormatReference.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace tavo::spitest {
namespace {

class TiffPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tiff.loaded()) << "bin/iftiff.spi did not load";
        handlesBefore = platform::liveLocalHandleCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore);
        if (!work.empty())
            fs::remove_all(work);
    }
    bool prepare()
    {
        if (const std::string tool = missingTool({"convert", "tiffcp", "tiff2rgba", "tiffset"}); !tool.empty()) {
            skipReason = tool + " is not installed (packages imagemagick, libtiff-tools)";
            return false;
        }
        work = freshFolder("tiff");
        return !work.empty();
    }
    fs::path make(const std::string& name, const std::string& arguments)
    {
        const fs::path file = work / name;
        return run("convert " + arguments + " " + shellQuoted(file)) ? file : fs::path();
    }

    PluginModule tiff{"iftiff.spi"};
    std::size_t handlesBefore = 0;
    fs::path work;
    std::string skipReason;
};

TEST_F(TiffPlugin, InfoTextsSignatureAndDensity)
{
    EXPECT_EQ(tiff.info(0), "00IN");
    EXPECT_FALSE(tiff.info(1).empty());
    EXPECT_EQ(tiff.info(2), "*.tif");
    EXPECT_EQ(tiff.info(3), "TIFF");
    EXPECT_EQ(tiff.info(4), "*.tiff");
    EXPECT_EQ(tiff.info(5), "TIFF");
    EXPECT_EQ(tiff.info(6), "");
    EXPECT_NE(tiff.isSupported({'I', 'I', 42, 0}), 0);
    EXPECT_NE(tiff.isSupported({'M', 'M', 0, 42}), 0);
    EXPECT_NE(tiff.isSupported({'I', 'I', 43, 0}), 0); // BigTIFF
    EXPECT_EQ(tiff.isSupported({'I', 'M', 42, 0}), 0);
    EXPECT_EQ(tiff.isSupported({'M', 'M', 42, 0}), 0);
    if (!prepare())
        GTEST_SKIP() << skipReason;
    const fs::path file = make("dense.tif", "-size 7x5 xc:teal -units PixelsPerCentimeter -density 40x20");
    ASSERT_FALSE(file.empty());
    SPI_PICTINFO info;
    ASSERT_EQ(tiff.pictureInfo(readFile(file), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 5);
    EXPECT_EQ(info.x_density, 102); // 40 per cm
    EXPECT_EQ(info.y_density, 51);
    EXPECT_EQ(info.colorDepth, 24);
    // A picture turned a quarter by its orientation tag is reported turned.
    ASSERT_TRUE(run("tiffset -s 274 6 " + shellQuoted(file)));
    ASSERT_EQ(tiff.pictureInfo(readFile(file), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.height, 7);
    EXPECT_EQ(info.x_density, 51);
    const Dib dib = decode(tiff, readFile(file));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(4, 6), (Rgb{0, 128, 128}));
}

// Every colour model and sample size, each in strips and tiles and in every
// compression that suits it: the same pixels as tiff2rgba.
TEST_F(TiffPlugin, EveryLayoutAndCompressionDecodesAsTiff2rgba)
{
    if (!prepare())
        GTEST_SKIP() << skipReason;
    const std::string photo = "-seed 3 -size 67x45 gradient:gold-purple -swirl 90 -attenuate 0.4 +noise Gaussian";
    struct Base {
        const char* name;
        std::string arguments;
        bool eightBit; // JPEG can hold it
        bool bilevel;  // the fax codings can hold it
    };
    const std::vector<Base> bases = {
        {"rgb8", photo + " -depth 8 -type TrueColor", true, false},
        {"rgb16", photo + " -depth 16 -type TrueColor", false, false},
        {"rgba8", photo + " \\( -size 67x45 gradient:white-black \\) -alpha off -compose CopyOpacity -composite -depth 8", false, false},
        {"grey8", photo + " -colorspace Gray -depth 8", true, false},
        {"grey16", photo + " -colorspace Gray -depth 16", false, false},
        {"grey4", photo + " -colorspace Gray -depth 4", false, false},
        {"grey2", photo + " -colorspace Gray -depth 2", false, false},
        {"bilevel", photo + " -monochrome -depth 1", false, true},
        {"palette8", photo + " -colors 200 -type Palette -depth 8", false, false},
        {"palette4", photo + " -colors 16 -type Palette -depth 4", false, false},
        {"cmyk8", photo + " -depth 8 -colorspace CMYK", false, false},
    };
    int checked = 0;
    for (const Base& base : bases) {
        const fs::path source = make(std::string(base.name) + ".tif", base.arguments);
        ASSERT_FALSE(source.empty()) << base.name;
        std::vector<std::string> layouts = {"-c none -s -r 7", "-c lzw -t -w 16 -l 32", "-c zip -s -r 3",
                                            "-c packbits -t -w 32 -l 16"};
        // tiffcp separates the planes of 8-bit samples only.
        if (std::string(base.name).ends_with("8"))
            layouts.push_back("-c lzw -p separate -s -r 6");
        if (base.eightBit)
            layouts.insert(layouts.end(), {"-c lzw:2 -s -r 5", "-c jpeg -s -r 16", "-c jpeg -t -w 32 -l 32"});
        if (base.bilevel)
            layouts.insert(layouts.end(), {"-c g3 -s -r 9", "-c g3:2d", "-c g4"});
        for (const std::string& layout : layouts) {
            SCOPED_TRACE(std::string(base.name) + " " + layout);
            const fs::path file = work / "variant.tif";
            fs::remove(file);
            ASSERT_TRUE(run("tiffcp " + layout + " " + shellQuoted(source) + " " + shellQuoted(file)));
            const Bytes data = readFile(file);
            ASSERT_NE(tiff.isSupported(data), 0);
            const Dib dib = decode(tiff, data);
            ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
            ASSERT_EQ(dib.layoutError, "");
            ASSERT_EQ(dib.width, 67);
            ASSERT_EQ(dib.height, 45);
            const auto expected = tiff2rgbaPixels(file, work / "reference.tif");
            ASSERT_TRUE(expected.has_value());
            int worst = 0;
            EXPECT_EQ(mismatches(dib, *expected, 0, &worst), 0) << "largest difference " << worst;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 11 * 4 + 5 + 2 * 3 + 3);
}

// Each of the eight orientations shows the stored rows turned and mirrored
// as ImageMagick's -auto-orient shows them.
TEST_F(TiffPlugin, OrientationTagIsApplied)
{
    if (!prepare())
        GTEST_SKIP() << skipReason;
    const fs::path stored = make("stored.tif", "-seed 9 -size 5x3 xc: +noise Random -depth 8");
    ASSERT_FALSE(stored.empty());
    std::string files;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const fs::path file = work / ("o" + std::to_string(orientation) + ".tif");
        fs::copy_file(stored, file);
        ASSERT_TRUE(run("tiffset -s 274 " + std::to_string(orientation) + " " + shellQuoted(file)));
        files += " " + shellQuoted(file);
    }
    const auto all = run("convert" + files + " -auto-orient -depth 8 rgba:-");
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 8u * 15 * 4);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const Dib dib = decode(tiff, readFile(work / ("o" + std::to_string(orientation) + ".tif")));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.width, orientation >= 5 ? 3 : 5);
        EXPECT_EQ(dib.height, orientation >= 5 ? 5 : 3);
        EXPECT_EQ(mismatches(dib, all->substr(std::size_t(orientation - 1) * 60, 60), 0), 0);
    }
}

TEST_F(TiffPlugin, BrokenAndUnreadableDataIsRefused)
{
    if (!prepare())
        GTEST_SKIP() << skipReason;
    const fs::path source = make("big.tif", "-seed 4 -size 120x200 plasma:fractal -depth 8");
    const fs::path strips = work / "strips.tif";
    ASSERT_TRUE(run("tiffcp -c lzw -s -r 8 " + shellQuoted(source) + " " + shellQuoted(strips)));
    const Bytes good = readFile(strips);
    ProgressLog log;
    ASSERT_EQ(decode(tiff, good, &log).result, SPI_ALL_RIGHT);
    ASSERT_GE(log.calls.size(), 3u);
    EXPECT_EQ(log.calls.front(), (std::pair<std::int32_t, std::int32_t>{0, 200}));
    EXPECT_EQ(log.calls[1], (std::pair<std::int32_t, std::int32_t>{16, 200}));
    EXPECT_EQ(log.calls.back(), (std::pair<std::int32_t, std::int32_t>{200, 200}));
    for (std::int32_t at : {0, 96, 200}) {
        ProgressLog stop;
        stop.abortAt = at;
        EXPECT_EQ(decode(tiff, good, &stop).result, SPI_ABORT) << at;
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore) << at;
    }
    EXPECT_EQ(decode(tiff, {}).result, SPI_NOT_SUPPORT);
    EXPECT_EQ(decode(tiff, {'I', 'I', 42, 0}).result, SPI_OUT_OF_ORDER);
    EXPECT_EQ(decode(tiff, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F}).result, SPI_OUT_OF_ORDER);
    // Strips whose data is cut away or overwritten: refused, never read beyond.
    EXPECT_NE(decode(tiff, Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2))).result, SPI_ALL_RIGHT);
    Bytes damaged = good;
    for (std::size_t i = 16; i < damaged.size() / 2; i += 5)
        damaged[i] = std::uint8_t(i);
    EXPECT_NE(decode(tiff, damaged).result, SPI_ALL_RIGHT);
    // Floating-point samples are a TIFF this plug-in does not read.
    const fs::path floats = work / "float.tif";
    TIFF* out = TIFFOpen(floats.c_str(), "w");
    ASSERT_NE(out, nullptr);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, 2);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(out, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    float samples[2] = {0.25f, 1.0f};
    ASSERT_EQ(TIFFWriteScanline(out, samples, 0, 0), 1);
    TIFFClose(out);
    SPI_PICTINFO info;
    EXPECT_EQ(tiff.pictureInfo(readFile(floats), info), SPI_NOT_SUPPORT);
    EXPECT_EQ(decode(tiff, readFile(floats)).result, SPI_NOT_SUPPORT);
}

} // namespace
} // namespace tavo::spitest
