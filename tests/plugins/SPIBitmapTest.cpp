// The plug-in bitmap with the real BMP reader: the order of reader and
// plug-ins, the BMP image built from a plug-in's blocks, and the failure texts.
#include "PluginTestSupport.h"
#include "imaging/BmpReader.h"
#include "platform/Errors.h"
#include "platform/LocalMemory.h"
#include "plugins/DibImage.h"
#include "plugins/PluginDecoding.h"
#include "plugins/SPIBitmap.h"
#include "plugins/SPIs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace tavo;
using tavo::test::makeTestPicture;
using tavo::test::pluginPath;
using tavo::test::pluginState;
using tavo::test::TempFolder;
using tavo::test::TestPicture;

namespace {

// A 2 × 2 24-bit bottom-up BMP file.
std::vector<uint8_t> smallBmp()
{
    std::vector<uint8_t> file(14 + 40 + 16, 0);
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    file[26] = 1;
    file[28] = 24;
    for (std::size_t i = 54; i < file.size(); ++i)
        file[i] = 0x80;
    return file;
}

std::vector<uint8_t> infoHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed,
                                uint32_t compression = 0)
{
    std::vector<uint8_t> h(40, 0);
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(width));
    put32(8, static_cast<uint32_t>(height));
    h[12] = 1;
    h[14] = static_cast<uint8_t>(bitCount);
    put32(16, compression);
    put32(32, clrUsed);
    return h;
}

class SPIBitmapTest : public ::testing::Test {
protected:
    TInSPI& add(const std::string& name)
    {
        spis.Add(CreateSPI(pluginPath(name)));
        return static_cast<TInSPI&>(spis[spis.Count() - 1]);
    }
    std::string file(const std::string& name, const std::vector<uint8_t>& bytes) { return folder.addFile(name, bytes); }

    TSPIs spis;
    TempFolder folder;
    TSPIBitmap bitmap;
};

} // namespace

TEST(SPIBitmapClass, PluginFormatsAreRegisteredWithTSPIBitmap)
{
    EXPECT_EQ(TSPIs::DefaultGraphicClass(), &TSPIBitmap::graphicClass);
    EXPECT_TRUE(TSPIBitmap().HeaderRetry);
}

TEST_F(SPIBitmapTest, BmpWithoutExtensionLoadsWithoutAnyPlugin)
{
    TInSPI& any = add("acceptall");
    for (const char* name : {"picture", "picture.bmp", "PICTURE.BMP"}) {
        bitmap.LoadFromFile(file(name, smallBmp()));
        EXPECT_EQ(bitmap.bitmap().width(), 2) << name;
        EXPECT_EQ(bitmap.bitmap().bitCount(), 24);
    }
    EXPECT_EQ(pluginState(any).isSupportedCalls, 0);
    // Another extension: the plug-ins first; this one takes anything (1 × 1).
    bitmap.LoadFromFile(file("picture.tpc", smallBmp()));
    EXPECT_EQ(bitmap.bitmap().width(), 1);
    EXPECT_EQ(pluginState(any).isSupportedCalls, 1);
}

TEST_F(SPIBitmapTest, BmpReaderComesLastForOtherExtensions)
{
    TInSPI& tpc = add("tpc");
    bitmap.LoadFromFile(file("picture.png", smallBmp()));
    EXPECT_EQ(bitmap.bitmap().width(), 2);
    EXPECT_EQ(pluginState(tpc).isSupportedCalls, 1);
}

TEST_F(SPIBitmapTest, PluginPictureBecomesTheBitmap)
{
    add("tpc");
    TestPicture picture;
    picture.width = 3;
    picture.height = -2; // top-down rows
    picture.bitCount = 8;
    picture.fill = 10;
    bitmap.LoadFromFile(file("a.tpc", makeTestPicture(picture)));
    const Bitmap& result = bitmap.bitmap();
    ASSERT_EQ(result.width(), 3);
    ASSERT_EQ(result.height(), 2);
    EXPECT_EQ(result.bitCount(), 8);
    EXPECT_EQ(result.rowOrder(), RowOrder::TopDown);
    ASSERT_EQ(result.palette().size(), 256u);
    EXPECT_EQ(result.palette()[5], (PaletteEntry{5, 10, 15, 0}));
    // Rows of 4 bytes as delivered, the first row first.
    EXPECT_EQ(result.row(0)[0], 10);
    EXPECT_EQ(result.row(1)[0], 14);
    EXPECT_EQ(platform::liveLocalHandleCount(), 0u);
}

TEST_F(SPIBitmapTest, ShortPixelBlockLeavesTheRestZero)
{
    add("tpc");
    TestPicture picture;
    picture.width = 4;
    picture.height = 4;
    picture.pixelBytes = 12 * 2 + 5; // two rows and a bit (bottom-up)
    picture.fill = 1;
    bitmap.LoadFromFile(file("a.tpc", makeTestPicture(picture)));
    const Bitmap& result = bitmap.bitmap();
    ASSERT_EQ(result.height(), 4);
    EXPECT_EQ(result.row(3)[0], 1);       // the bottom row came first
    EXPECT_EQ(result.row(1)[4], 1 + 28);  // the last delivered byte
    EXPECT_EQ(result.row(1)[5], 0);
    EXPECT_EQ(result.row(0)[0], 0);
}

TEST_F(SPIBitmapTest, PictureAfterPictureThroughTheSameSharedMemory)
{
    // The host and the viewer keep their shared memory from one load to the
    // next. A plug-in that overwrites its input changes nothing that a later
    // call reads, and every picture has its own pixels, a smaller one after a
    // larger one included.
    add("tpc");
    struct Load {
        int32_t width;
        uint8_t fill;
        std::size_t size;
    };
    for (const Load load : {Load{200, 10, 40000}, Load{200, 20, 40000}, Load{150, 30, 40000}, Load{200, 40, 90000},
                            Load{200, 50, 40000}}) {
        TestPicture picture;
        picture.flags = TPIC_SCRIBBLE;
        picture.width = load.width;
        picture.height = 150;
        picture.fill = load.fill;
        picture.size = load.size;
        bitmap.LoadFromFile(file("a.tpc", makeTestPicture(picture)));
        const Bitmap& result = bitmap.bitmap();
        ASSERT_EQ(result.width(), load.width);
        const std::size_t stride = result.stride();
        // Byte i of the bottom-up block is fill + i.
        for (int32_t y : {0, 75, 149}) {
            const std::size_t at = std::size_t(149 - y) * stride;
            EXPECT_EQ(result.row(y)[0], uint8_t(load.fill + at)) << load.fill << "/" << y;
            EXPECT_EQ(result.row(y)[stride - 1], uint8_t(load.fill + at + stride - 1)) << load.fill << "/" << y;
        }
    }
    EXPECT_EQ(platform::liveLocalHandleCount(), 0u);
}

TEST_F(SPIBitmapTest, ShortInfoBlockIsRefused)
{
    add("tpc");
    TestPicture picture;
    picture.flags = TPIC_SHORT_INFO;
    try {
        bitmap.LoadFromFile(file("a.tpc", makeTestPicture(picture)));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
    EXPECT_EQ(platform::liveLocalHandleCount(), 0u);
}

TEST_F(SPIBitmapTest, EmptyFewBytesAndUnknownData)
{
    add("tpc");
    bitmap.LoadFromFile(file("empty.xyz", {}));
    EXPECT_EQ(bitmap.bitmap().width(), 0);
    EXPECT_EQ(bitmap.bitmap().height(), 0);
    EXPECT_THROW(bitmap.LoadFromFile(file("few.xyz", {'B', 'M', 0})), EReadError);
    try {
        bitmap.LoadFromFile(file("text.xyz", std::vector<uint8_t>(300, 'x')));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
    const std::string missing = folder.str() + "/missing.tpc";
    try {
        bitmap.LoadFromFile(missing);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ " + missing + " は開けません");
    }
    EXPECT_THROW(bitmap.LoadFromFile(folder.str()), EFOpenError);
}

TEST_F(SPIBitmapTest, AssignCopiesPictureAndHeaderRetry)
{
    add("tpc");
    bitmap.LoadFromFile(file("a.tpc", makeTestPicture({})));
    TSPIBitmap copy;
    bitmap.HeaderRetry = false;
    copy.Assign(bitmap);
    EXPECT_FALSE(copy.HeaderRetry);
    EXPECT_TRUE(copy.bitmap().sharesPixelsWith(bitmap.bitmap()));
}

TEST(DibImage, ColourTableAndRowSizes)
{
    struct Case {
        int32_t width;
        uint16_t bitCount;
        uint32_t clrUsed;
        int64_t table;
        int64_t row;
    };
    for (const Case c : {Case{10, 1, 0, 8, 4}, Case{10, 8, 0, 1024, 12}, Case{10, 24, 0, 0, 32},
                         Case{10, 24, 5, 20, 32}, Case{1, 24, 0, 0, 4}, Case{3, 1, 0, 8, 4}, Case{5, 4, 3, 12, 4}}) {
        const auto layout = dibLayout(infoHeader(c.width, 3, c.bitCount, c.clrUsed));
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->headerSize - 40, c.table) << c.width << "/" << c.bitCount;
        EXPECT_EQ(layout->rowSize, c.row) << c.width << "/" << c.bitCount;
        EXPECT_EQ(layout->imageSize, 3 * c.row);
    }
}

TEST(DibImage, BmpImageFromBlocks)
{
    // Negative height: |height| rows, the header passed on unchanged.
    const auto info = infoHeader(1, -2, 24, 0);
    const std::vector<uint8_t> bits{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const auto image = dibParts(info, bits);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->head.size(), 14u + 40);
    const uint8_t* p = image->head.data();
    EXPECT_EQ(p[0], 0x42);
    EXPECT_EQ(p[1], 0x4D);
    EXPECT_EQ(p[2], 62);  // file size
    EXPECT_EQ(p[10], 54); // pixel offset
    EXPECT_TRUE(std::equal(info.begin(), info.end(), p + 14));
    // Only image-size bytes of the longer block, where they lie.
    EXPECT_EQ(image->pixels.data(), bits.data());
    EXPECT_EQ(image->pixels.size(), 8u);
}

TEST(DibImage, BitFieldMasksTravelWithTheHeader)
{
    auto info = infoHeader(1, 1, 32, 0, 3);
    for (uint8_t b : {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0})
        info.push_back(b);
    const std::vector<uint8_t> bits{0x11, 0x22, 0x33, 0x44};
    const auto image = dibParts(info, bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->head.size(), 14u + 52);
    EXPECT_EQ(image->pixels.size(), 4u);
    const Bitmap bitmap = ReadBmpStream(image->head, image->pixels);
    EXPECT_EQ(bitmap.masks(), (ColorMasks{0xFF0000, 0xFF00, 0xFF}));
    EXPECT_EQ(bitmap.bits()[0], 0x11);
}

TEST(DibImage, UnusableHeadersGiveNothing)
{
    EXPECT_FALSE(dibLayout(std::vector<uint8_t>(39, 0)));
    EXPECT_FALSE(dibLayout(infoHeader(1, 1, 8, 100000)));          // a colour table of 100000 entries
    EXPECT_FALSE(dibLayout(infoHeader(0x7FFFFFFF, 1, 32, 0)));     // a row beyond 32 bits
    EXPECT_FALSE(dibLayout(infoHeader(60000, 60000, 32, 0)));      // beyond a bitmap file's size field
    const auto negative = dibLayout(infoHeader(-5, 4, 24, 0));      // no rows; the reader judges
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->imageSize, 0);
    // A short colour table becomes zero entries; a short pixel block ends the file early.
    const std::vector<uint8_t> bits(5, 0xFF);
    const auto image = dibParts(infoHeader(1, 2, 1, 0), bits);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->head.size(), 14u + 48);
    EXPECT_EQ(image->pixels.size(), 5u);
    EXPECT_EQ(image->head[14 + 40], 0);
    EXPECT_EQ(image->head[2], 14 + 48 + 8); // the declared size
}

TEST(PluginDecoding, ProgramRegistrySearchesTheSusieFolderOnceLoaded)
{
    TempFolder config;
    TempFolder susie;
    susie.addPlugin("tpc", "tpc.spi");
    std::filesystem::create_directories(config.path() / "Susie");
    std::ofstream(config.path() / "Susie" / "Plug-in") << "Path=" << susie.str() << "\n";
    test::ScopedEnv env("XDG_CONFIG_HOME", config.str());
    const auto spis = createProgramRegistry();
    EXPECT_EQ(spis->Count(), 0);
    EXPECT_EQ(spis->SearchOptions, (TSPISearchOptions{spsSusieDir, spsAppDir}));
    // The first decode runs the search that has not run yet, and only once.
    TestPicture picture;
    picture.width = 5;
    const std::string path = susie.addFile("x.tpc", makeTestPicture(picture));
    EXPECT_EQ(decodeThroughPlugins(path).width(), 5);
    EXPECT_TRUE(spis->isLoaded());
    const int count = spis->Count();
    EXPECT_GE(count, 1);
    EXPECT_EQ(decodeThroughPlugins(path).width(), 5);
    EXPECT_EQ(spis->Count(), count);
}

TEST(DibImage, WhateverAPluginReturnsIsReadSafely)
{
    // Random headers near the interesting values, random block sizes: the
    // image is built within the blocks and the reader either reads it or
    // raises one of its errors, exactly as it reads the same bytes in one
    // piece. The sanitizer build checks the bounds.
    std::mt19937 random(12345);
    const int32_t sides[] = {0, 1, 3, -1, -7, 100, 65536, 65537, 0x7FFFFFFF, -0x7FFFFFFF - 1};
    const uint16_t bitCounts[] = {0, 1, 2, 4, 8, 16, 24, 32, 33, 0xFFFF};
    const uint32_t colourCounts[] = {0, 1, 2, 16, 256, 257, 65536, 65537, 0xFFFFFFFF};
    const uint32_t compressions[] = {0, 1, 2, 3, 4, 0xFFFFFFFF};
    for (int i = 0; i < 3000; ++i) {
        auto info = infoHeader(sides[random() % 10], sides[random() % 10], bitCounts[random() % 10],
                               colourCounts[random() % 9], compressions[random() % 6]);
        info.resize(random() % 2 ? info.size() + random() % 1100 : random() % 48, 0x5A);
        std::vector<uint8_t> bits(random() % 4096);
        for (uint8_t& b : bits)
            b = static_cast<uint8_t>(random());
        const auto image = dibParts(info, bits);
        if (!image)
            continue;
        std::vector<uint8_t> whole = image->head;
        whole.insert(whole.end(), image->pixels.begin(), image->pixels.end());
        std::string inPieces, inOne;
        Bitmap fromPieces, fromOne;
        try {
            fromPieces = ReadBmpStream(image->head, image->pixels);
        } catch (const Exception& e) {
            inPieces = e.what();
        }
        try {
            fromOne = ReadBmpStream(whole.data(), whole.size());
        } catch (const Exception& e) {
            inOne = e.what();
        }
        ASSERT_EQ(inPieces, inOne) << i;
        ASSERT_EQ(fromPieces.width(), fromOne.width()) << i;
        ASSERT_EQ(fromPieces.height(), fromOne.height()) << i;
        ASSERT_EQ(fromPieces.bitCount(), fromOne.bitCount()) << i;
        ASSERT_EQ(fromPieces.palette(), fromOne.palette()) << i;
        ASSERT_EQ(fromPieces.masks(), fromOne.masks()) << i;
        ASSERT_TRUE(std::equal(fromPieces.bits(), fromPieces.bits() + fromPieces.byteSize(), fromOne.bits())) << i;
    }
}
