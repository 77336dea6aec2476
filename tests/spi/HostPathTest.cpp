// The shipped plug-ins as the viewer uses them: registered in TSPIs and asked
// by TSPIBitmap, which turns their bitmap into a picture through the BMP reader.
#include "TestImages.h"
#include "tests/TestScratch.h"
#include "plugins/SPIBitmap.h"
#include "plugins/SPIs.h"
#include "platform/Errors.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tavo::spitest {
namespace {

namespace fs = std::filesystem;

class HostPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry.AutoSearch = false;
        for (const char* name : {"ifpng.spi", "ifjpeg.spi"}) {
            auto spi = CreateSPI(std::string(TAVO_BINARY_DIR) + "/bin/" + name);
            ASSERT_NE(spi, nullptr) << name;
            registry.Add(std::move(spi));
        }
        folder = test::uniqueScratchFolder("spi_host_path", ::testing::TempDir());
    }

    std::string write(const std::string& name, const Bytes& data, std::size_t padding = 0)
    {
        const fs::path path = folder / name;
        std::ofstream out(path, std::ios::binary);
        const std::string header(padding, 'H');
        out.write(header.data(), std::streamsize(header.size()));
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        return path.string();
    }

    TSPIs registry;
    fs::path folder;
};

PngLayout palettePicture()
{
    // 3 x 2, indices 0 1 2 / 2 1 0 of red, green and half-transparent blue.
    PngLayout layout;
    layout.width = 3;
    layout.height = 2;
    layout.colorType = 3;
    layout.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    layout.paletteAlpha = {255, 255, 128};
    layout.pixels = {0, 1, 2, 2, 1, 0};
    return layout;
}

TEST_F(HostPath, APngFileLoadsThroughThePluginAndTheBmpReader)
{
    const std::size_t handles = platform::liveLocalHandleCount();
    TSPIBitmap picture;
    picture.LoadFromFile(write("a.png", encodePng(palettePicture())));
    const Bitmap& bitmap = picture.bitmap();
    ASSERT_EQ(bitmap.width(), 3);
    ASSERT_EQ(bitmap.height(), 2);
    EXPECT_EQ(bitmap.bitCount(), 8);
    EXPECT_EQ(bitmap.pixelColor(0, 0), (PaletteEntry{0, 0, 255, 0}));
    EXPECT_EQ(bitmap.pixelColor(1, 0), (PaletteEntry{0, 255, 0, 0}));
    EXPECT_EQ(bitmap.pixelColor(2, 0), (PaletteEntry{248, 120, 120, 0})); // blue half over the background
    EXPECT_EQ(bitmap.pixelColor(0, 1), (PaletteEntry{248, 120, 120, 0}));
    EXPECT_EQ(platform::liveLocalHandleCount(), handles);
}

TEST_F(HostPath, AJfifFileLoadsThroughTheJpegPlugin)
{
    Bytes pixels(8 * 8 * 3);
    for (std::size_t i = 0; i < pixels.size(); i += 3)
        pixels[i + 1] = 200;
    TSPIBitmap picture;
    picture.LoadFromFile(write("b.jfif", encodeJpeg(JpegKind::Rgb, 8, 8, pixels)));
    ASSERT_EQ(picture.bitmap().width(), 8);
    EXPECT_EQ(picture.bitmap().bitCount(), 24);
    const PaletteEntry c = picture.bitmap().pixelColor(4, 4);
    EXPECT_NEAR(c.green, 200, 6);
    EXPECT_LE(c.red + c.blue, 12);
}

TEST_F(HostPath, AForeignHeaderIsSkippedByTheRetryAtByte128)
{
    TSPIBitmap picture;
    picture.LoadFromFile(write("c.png", encodePng(palettePicture()), 128));
    EXPECT_EQ(picture.bitmap().width(), 3);

    TSPIBitmap strict;
    strict.HeaderRetry = false;
    EXPECT_THROW(strict.LoadFromFile(write("d.png", encodePng(palettePicture()), 128)), EInvalidGraphic);
}

TEST_F(HostPath, BrokenPngDataIsAnErrorNotAFault)
{
    Bytes png = encodePng(palettePicture());
    png.resize(png.size() - 20);
    TSPIBitmap picture;
    try {
        picture.LoadFromFile(write("e.png", png));
        ADD_FAILURE() << "a truncated PNG loaded";
    } catch (const EInvalidGraphic& error) {
        EXPECT_STREQ(error.what(), "認識できない画像形式です");
    }
}

} // namespace
} // namespace tavo::spitest
