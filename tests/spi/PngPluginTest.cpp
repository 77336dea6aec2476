// The PNG plug-in through its entry points, as the host calls them.
#include "PluginHarness.h"
#include "TestImages.h"
#include "platform/LocalMemory.h"
#include "tests/TestScratch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tavo::spitest {
namespace {

constexpr Rgb kBackground{240, 240, 240};

class PngPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(png.loaded()) << "bin/ifpng.spi did not load";
        handlesBefore = platform::liveLocalHandleCount();
    }
    // Every call leaves no handle behind: the host frees what it receives.
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore); }

    PluginModule png{"ifpng.spi"};
    std::size_t handlesBefore = 0;
};

PngLayout rgbPicture()
{
    // 2 x 2: red, green / blue, white.
    PngLayout layout;
    layout.width = layout.height = 2;
    layout.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    return layout;
}

TEST_F(PngPlugin, InfoTextsNameAnImportPluginForPng)
{
    EXPECT_EQ(png.info(0), "00IN");
    EXPECT_FALSE(png.info(1).empty());
    EXPECT_EQ(png.info(2), "*.png");
    EXPECT_EQ(png.info(3), "PNG");
    EXPECT_EQ(png.info(4), "");
    EXPECT_EQ(png.info(-1), "");
    // The text is cut to buflen - 1 bytes and terminated.
    EXPECT_EQ(png.info(2, 3), "*.");
    char buf[4];
    EXPECT_EQ(png.getPluginInfo(0, buf, 4), 3);
    EXPECT_STREQ(buf, "00I");
}

TEST_F(PngPlugin, IsSupportedLooksAtTheSignatureInTheBlock)
{
    EXPECT_NE(png.isSupported(encodePng(rgbPicture())), 0);
    // The signature alone, the rest of the block zero, is enough.
    EXPECT_NE(png.isSupported({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), 0);
    EXPECT_EQ(png.isSupported({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A}), 0);
    EXPECT_EQ(png.isSupported({0x89, 'P', 'N', 'G', '\n', '\n', 0x1A, '\n'}), 0);
    EXPECT_EQ(png.isSupported({0xFF, 0xD8, 0xFF, 0xE0}), 0);
    EXPECT_EQ(png.isSupported({}), 0);
    EXPECT_EQ(png.isSupportedEntry("", nullptr), 0);
}

TEST_F(PngPlugin, PictureInfoGivesSizeDepthAndDensity)
{
    PngLayout layout = rgbPicture();
    layout.pixelsPerMeter = 3780; // 96 dpi
    SPI_PICTINFO info;
    std::memset(&info, 0xAB, sizeof info);
    ASSERT_EQ(png.pictureInfo(encodePng(layout), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.left, 0);
    EXPECT_EQ(info.top, 0);
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.x_density, 96);
    EXPECT_EQ(info.y_density, 96);
    EXPECT_EQ(info.colorDepth, 24);
    EXPECT_EQ(info.hInfo, nullptr);

    PngLayout palette;
    palette.width = 3;
    palette.colorType = 3;
    palette.bitDepth = 4;
    palette.palette = {1, 2, 3};
    palette.pixels = {0, 0};
    ASSERT_EQ(png.pictureInfo(encodePng(palette), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.colorDepth, 8);
    EXPECT_EQ(info.width, 3);

    EXPECT_EQ(png.pictureInfo({'G', 'I', 'F', '8', '9', 'a'}, info), SPI_NOT_SUPPORT);
}

TEST_F(PngPlugin, TrueColourBecomesBottomUpBgr)
{
    const Dib dib = decode(png, encodePng(rgbPicture()));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.bitCount, 24);
    EXPECT_EQ(dib.height, 2); // positive: bottom-up
    EXPECT_EQ(dib.colors, 0u);
    EXPECT_EQ(dib.bits.size(), 16u); // rows of 6 bytes padded to 8
    // The last row of the file comes first; BGR order.
    EXPECT_EQ(Bytes(dib.bits.begin(), dib.bits.begin() + 8), (Bytes{255, 0, 0, 255, 255, 255, 0, 0}));
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(dib.pixel(1, 0), (Rgb{0, 255, 0}));
}

TEST_F(PngPlugin, EveryTrueColourPixelOfEveryRowWidthKeepsItsColour)
{
    // Widths around the groups of pixels converted together, and the row
    // padding after them zero.
    for (std::uint32_t width : {1u, 4u, 5u, 6u, 7u, 10u, 11u, 16u, 21u, 33u}) {
        PngLayout layout;
        layout.width = width;
        layout.height = 3;
        for (std::uint32_t i = 0; i < width * 3 * 3; ++i)
            layout.pixels.push_back(std::uint8_t(i * 37 + 11));
        const Dib dib = decode(png, encodePng(layout));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT) << width;
        ASSERT_EQ(dib.layoutError, "") << width;
        for (std::uint32_t y = 0; y < 3; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = &layout.pixels[(y * width + x) * 3];
                ASSERT_EQ(dib.pixel(int(x), int(y)), (Rgb{p[0], p[1], p[2]})) << width << ": " << x << ", " << y;
            }
        }
        const std::size_t stride = (width * 3 + 3) / 4 * 4;
        for (std::size_t row = 0; row < 3; ++row) {
            for (std::size_t at = width * 3; at < stride; ++at)
                ASSERT_EQ(dib.bits[row * stride + at], 0) << width;
        }
    }
}

TEST_F(PngPlugin, PalettesOfEveryDepthBecome8BitWithTheirColours)
{
    for (int depth : {1, 2, 4, 8}) {
        PngLayout layout;
        layout.width = 9;
        layout.colorType = 3;
        layout.bitDepth = depth;
        const int entries = 1 << depth;
        for (int i = 0; i < entries; ++i)
            layout.palette.insert(layout.palette.end(), {std::uint8_t(i), std::uint8_t(100), std::uint8_t(255 - i)});
        // Pixel x holds index x mod entries, packed from the high bit.
        layout.pixels.assign((9 * depth + 7) / 8, 0);
        for (int x = 0; x < 9; ++x) {
            const int bit = x * depth;
            layout.pixels[bit / 8] |= std::uint8_t((x % entries) << (8 - depth - bit % 8));
        }
        const Dib dib = decode(png, encodePng(layout));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT) << depth;
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.bitCount, 8);
        EXPECT_EQ(dib.colors, 256u);
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(dib.pixel(x, 0), (Rgb{x % entries, 100, 255 - x % entries})) << depth << " " << x;
    }
}

TEST_F(PngPlugin, GreyscaleBecomesAGreyRamp)
{
    PngLayout two;
    two.width = 4;
    two.colorType = 0;
    two.bitDepth = 2;
    two.pixels = {0b00011011};
    Dib dib = decode(png, encodePng(two));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(dib.pixel(1, 0), (Rgb{85, 85, 85}));
    EXPECT_EQ(dib.pixel(2, 0), (Rgb{170, 170, 170}));
    EXPECT_EQ(dib.pixel(3, 0), (Rgb{255, 255, 255}));

    // 16-bit samples are rounded to the nearest 8-bit level.
    PngLayout sixteen;
    sixteen.width = 3;
    sixteen.colorType = 0;
    sixteen.bitDepth = 16;
    sixteen.pixels = {0x80, 0x80, 0x80, 0x7F, 0xFF, 0xFF};
    dib = decode(png, encodePng(sixteen));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{128, 128, 128}));
    EXPECT_EQ(dib.pixel(1, 0), (Rgb{127, 127, 127}));
    EXPECT_EQ(dib.pixel(2, 0), (Rgb{255, 255, 255}));
}

TEST_F(PngPlugin, TransparencyIsComposedOverTheBackground)
{
    // Palette alpha: opaque, transparent, half.
    PngLayout palette;
    palette.width = 3;
    palette.colorType = 3;
    palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 0};
    palette.paletteAlpha = {255, 0, 128};
    palette.pixels = {0, 1, 2};
    Dib dib = decode(png, encodePng(palette));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(dib.pixel(1, 0), kBackground);
    EXPECT_EQ(dib.pixel(2, 0), (Rgb{120, 120, 120})); // 240 * 127 / 255

    // A transparent grey keeps the 8-bit ramp; its entry is the background.
    PngLayout grey;
    grey.width = 2;
    grey.colorType = 0;
    grey.pixels = {7, 8};
    grey.trns = true;
    grey.trnsGrey = 7;
    dib = decode(png, encodePng(grey));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(0, 0), kBackground);
    EXPECT_EQ(dib.pixel(1, 0), (Rgb{8, 8, 8}));

    // A transparent colour, and an alpha channel at 8 and 16 bits.
    PngLayout rgb = rgbPicture();
    rgb.trns = true;
    rgb.trnsGreen = 255;
    dib = decode(png, encodePng(rgb));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(1, 0), kBackground);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{255, 0, 0}));

    PngLayout rgba;
    rgba.width = 3;
    rgba.colorType = 6;
    rgba.pixels = {0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 255, 51};
    dib = decode(png, encodePng(rgba));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.bitCount, 24);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(dib.pixel(1, 0), kBackground);
    EXPECT_EQ(dib.pixel(2, 0), (Rgb{192, 192, 243})); // 0.2 blue over 0.8 background

    PngLayout rgba16;
    rgba16.colorType = 6;
    rgba16.bitDepth = 16;
    rgba16.pixels = {0, 0, 0, 0, 0xFF, 0xFF, 0x33, 0x33};
    dib = decode(png, encodePng(rgba16));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{192, 192, 243}));

    PngLayout greyAlpha;
    greyAlpha.colorType = 4;
    greyAlpha.pixels = {0, 128};
    dib = decode(png, encodePng(greyAlpha));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{120, 120, 120}));
}

PngLayout tallPicture(std::uint32_t height)
{
    PngLayout layout;
    layout.width = 5;
    layout.height = height;
    layout.colorType = 0;
    layout.pixels.assign(5 * height, 0);
    for (std::size_t i = 0; i < layout.pixels.size(); ++i)
        layout.pixels[i] = std::uint8_t(i * 7);
    return layout;
}

TEST_F(PngPlugin, ProgressCountsFromZeroThroughTheRowsToTheTotal)
{
    ProgressLog log;
    const Dib dib = decode(png, encodePng(tallPicture(6)), &log);
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}};
    EXPECT_EQ(log.calls, expected);
}

TEST_F(PngPlugin, ANonZeroAnswerStopsTheDecodeAndFreesEverything)
{
    for (std::int32_t at : {0, 3, 6}) {
        ProgressLog log;
        log.abortAt = at;
        const Dib dib = decode(png, encodePng(tallPicture(6)), &log);
        EXPECT_EQ(dib.result, SPI_ABORT) << at;
        EXPECT_EQ(log.calls.back().first, at);
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore) << at;
    }
}

TEST_F(PngPlugin, BrokenDataIsRefusedWithItsCode)
{
    const Bytes good = encodePng(tallPicture(40));
    EXPECT_EQ(decode(png, {}).result, SPI_NOT_SUPPORT);
    EXPECT_EQ(decode(png, {'B', 'M', 0, 0}).result, SPI_NOT_SUPPORT);
    // Cut inside the image data, inside IHDR, right after the signature.
    for (std::size_t size : {good.size() - 20, std::size_t(30), std::size_t(8)})
        EXPECT_EQ(decode(png, Bytes(good.begin(), good.begin() + std::ptrdiff_t(size))).result, SPI_OUT_OF_ORDER) << size;
    Bytes badCrc = good;
    badCrc[29] ^= 1; // the IHDR checksum
    EXPECT_EQ(decode(png, badCrc).result, SPI_OUT_OF_ORDER);
    SPI_PICTINFO info;
    EXPECT_EQ(png.pictureInfo(badCrc, info), SPI_OUT_OF_ORDER);
    Bytes badData = good;
    badData[good.size() - 30] ^= 0x55; // inside IDAT: its checksum no longer matches
    EXPECT_EQ(decode(png, badData).result, SPI_OUT_OF_ORDER);
}

TEST_F(PngPlugin, AbsurdSizesAreRefusedBeforeAllocating)
{
    const Bytes small = encodePng(tallPicture(2));
    EXPECT_EQ(decode(png, withIhdrSize(small, 0, 2)).result, SPI_OUT_OF_ORDER);
    EXPECT_EQ(decode(png, withIhdrSize(small, (1u << 20) + 1, 2)).result, SPI_NO_MEMORY);
    EXPECT_EQ(decode(png, withIhdrSize(small, 0x7FFFFFFF, 0x7FFFFFFF)).result, SPI_NO_MEMORY);
    EXPECT_EQ(decode(png, withIhdrSize(small, 40000, 40000)).result, SPI_NO_MEMORY); // over 1 GiB
    // 256 MiB of rows cannot come out of a few hundred bytes of deflate data.
    EXPECT_EQ(decode(png, withIhdrSize(small, 16384, 16384)).result, SPI_OUT_OF_ORDER);
    SPI_PICTINFO info;
    EXPECT_EQ(png.pictureInfo(withIhdrSize(small, 40000, 40000), info), SPI_NO_MEMORY);
}

TEST_F(PngPlugin, AFileNameWithFlagZeroIsReadFromItsOffset)
{
    const Bytes picture = encodePng(rgbPicture());
    const std::string path = (test::uniqueScratchFolder("spi_png_offset") / "offset.bin").string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write("12345", 5);
        out.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
    }
    HLOCAL info = nullptr, bits = nullptr;
    ASSERT_EQ(png.getPicture(path.c_str(), 5, SPI_INPUT_FILE, &info, &bits, nullptr, 0), SPI_ALL_RIGHT);
    EXPECT_EQ(LocalSize(bits), 16u);
    LocalFree(info);
    LocalFree(bits);
    SPI_PICTINFO pictureInfo;
    EXPECT_EQ(png.getPictureInfo(path.c_str(), 5, SPI_INPUT_FILE, &pictureInfo), SPI_ALL_RIGHT);
    EXPECT_EQ(pictureInfo.width, 2);
    EXPECT_EQ(png.getPictureInfo(path.c_str(), 0, SPI_INPUT_FILE, &pictureInfo), SPI_NOT_SUPPORT);
    EXPECT_EQ(png.getPictureInfo(path.c_str(), 1000, SPI_INPUT_FILE, &pictureInfo), SPI_FILE_READ_ERROR);
    EXPECT_EQ(png.getPictureInfo("/nonexistent/x.png", 0, SPI_INPUT_FILE, &pictureInfo), SPI_FILE_READ_ERROR);
    std::filesystem::remove(path);
    // Other input kinds are not implemented; missing out-parameters are refused.
    EXPECT_EQ(png.getPictureInfo(reinterpret_cast<const char*>(picture.data()), intptr_t(picture.size()), 2, &pictureInfo), SPI_NOT_IMPLEMENTED);
    EXPECT_EQ(png.getPicture(reinterpret_cast<const char*>(picture.data()), intptr_t(picture.size()), 1, nullptr, &bits, nullptr, 0), SPI_OTHER_ERROR);
}

} // namespace
} // namespace tavo::spitest
