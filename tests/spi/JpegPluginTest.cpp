// The JPEG plug-in through its entry points, as the host calls them.
#include "PluginHarness.h"
#include "TestImages.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace tavo::spitest {
namespace {

class JpegPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(jpeg.loaded()) << "bin/ifjpeg.spi did not load";
        handlesBefore = platform::liveLocalHandleCount();
    }
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore); }

    PluginModule jpeg{"ifjpeg.spi"};
    std::size_t handlesBefore = 0;
};

// 16 x 16 in four quadrants: red, green / blue, white.
Bytes quadrants()
{
    Bytes pixels(16 * 16 * 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* p = &pixels[std::size_t(y * 16 + x) * 3];
            const int q = (y >= 8) * 2 + (x >= 8);
            const std::uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            std::memcpy(p, colours[q], 3);
        }
    return pixels;
}

bool near(const Rgb& a, const Rgb& b, int tolerance)
{
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance
        && std::abs(a.blue - b.blue) <= tolerance;
}

TEST_F(JpegPlugin, InfoTextsClaimTheExtensionsTheViewerLeavesToPlugins)
{
    EXPECT_EQ(jpeg.info(0), "00IN");
    EXPECT_FALSE(jpeg.info(1).empty());
    // One pattern each, since the host registers a pattern's last extension.
    EXPECT_EQ(jpeg.info(2), "*.jpe");
    EXPECT_EQ(jpeg.info(4), "*.jfif");
    EXPECT_EQ(jpeg.info(6), "*.jfi");
    EXPECT_FALSE(jpeg.info(3).empty());
    EXPECT_FALSE(jpeg.info(5).empty());
    EXPECT_FALSE(jpeg.info(7).empty());
    EXPECT_EQ(jpeg.info(8), "");
}

TEST_F(JpegPlugin, IsSupportedLooksForTheStartOfImageMarker)
{
    EXPECT_NE(jpeg.isSupported(encodeJpeg(JpegKind::Rgb, 16, 16, quadrants())), 0);
    EXPECT_NE(jpeg.isSupported({0xFF, 0xD8, 0xFF}), 0);
    EXPECT_EQ(jpeg.isSupported({0xFF, 0xD8}), 0);
    EXPECT_EQ(jpeg.isSupported({0x89, 'P', 'N', 'G'}), 0);
    EXPECT_EQ(jpeg.isSupportedEntry("", nullptr), 0);
}

TEST_F(JpegPlugin, PictureInfoGivesSizeDepthAndDensity)
{
    SPI_PICTINFO info;
    ASSERT_EQ(jpeg.pictureInfo(encodeJpeg(JpegKind::Rgb, 16, 16, quadrants()), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.width, 16);
    EXPECT_EQ(info.height, 16);
    EXPECT_EQ(info.colorDepth, 24);
    EXPECT_EQ(info.x_density, 72);
    EXPECT_EQ(info.y_density, 144);
    EXPECT_EQ(info.hInfo, nullptr);
    ASSERT_EQ(jpeg.pictureInfo(encodeJpeg(JpegKind::Grey, 5, 3, Bytes(15, 9)), info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.colorDepth, 8);
    EXPECT_EQ(jpeg.pictureInfo({'B', 'M'}, info), SPI_NOT_SUPPORT);
}

TEST_F(JpegPlugin, ColourBecomesBottomUpBgrAndGreyAn8BitRamp)
{
    for (bool progressive : {false, true}) {
        const Dib dib = decode(jpeg, encodeJpeg(JpegKind::Rgb, 16, 16, quadrants(), progressive));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.bitCount, 24);
        EXPECT_EQ(dib.height, 16);
        EXPECT_TRUE(near(dib.pixel(2, 2), {255, 0, 0}, 8));
        EXPECT_TRUE(near(dib.pixel(13, 2), {0, 255, 0}, 8));
        EXPECT_TRUE(near(dib.pixel(2, 13), {0, 0, 255}, 8));
        EXPECT_TRUE(near(dib.pixel(13, 13), {255, 255, 255}, 8));
    }
    Bytes grey(5 * 3);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = std::uint8_t(i < 5 ? 20 : 200);
    const Dib dib = decode(jpeg, encodeJpeg(JpegKind::Grey, 5, 3, grey));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.colors, 256u);
    EXPECT_EQ(dib.bits.size(), 24u); // 3 rows of 5 bytes padded to 8
    EXPECT_TRUE(near(dib.pixel(0, 0), {20, 20, 20}, 4));
    EXPECT_TRUE(near(dib.pixel(4, 2), {200, 200, 200}, 4));
}

TEST_F(JpegPlugin, CmykAndYcckAreConvertedToBgr)
{
    // Adobe's files store the inks inverted (255: no ink), and libjpeg writes
    // the Adobe marker for both colour spaces.
    Bytes inks(8 * 8 * 4);
    for (std::size_t i = 0; i < inks.size(); i += 4) {
        const bool left = (i / 4) % 8 < 4;
        const std::uint8_t red[4] = {255, 0, 0, 255}, halfGrey[4] = {255, 255, 255, 128};
        std::memcpy(&inks[i], left ? red : halfGrey, 4);
    }
    for (JpegKind kind : {JpegKind::Cmyk, JpegKind::Ycck}) {
        const Dib dib = decode(jpeg, encodeJpeg(kind, 8, 8, inks));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.bitCount, 24);
        EXPECT_TRUE(near(dib.pixel(1, 1), {255, 0, 0}, 10)) << int(kind);
        EXPECT_TRUE(near(dib.pixel(6, 6), {128, 128, 128}, 10)) << int(kind);
    }
}

TEST_F(JpegPlugin, TruncatedDataIsDecodedToItsEnd)
{
    // Red rows on top, then noise, so that the cut falls among the noisy rows.
    const Bytes whole = encodeJpeg(JpegKind::Rgb, 32, 64, [] {
        Bytes p(32 * 64 * 3, 0);
        unsigned seed = 1;
        for (std::size_t i = 0; i < p.size(); ++i) {
            seed = seed * 1103515245 + 12345;
            p[i] = i < 32 * 16 * 3 ? (i % 3 == 0 ? 255 : 0) : std::uint8_t(seed >> 16);
        }
        return p;
    }());
    const Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() * 3 / 4));
    const Dib dib = decode(jpeg, cut);
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.height, 64);
    EXPECT_TRUE(near(dib.pixel(3, 3), {255, 0, 0}, 8));
}

TEST_F(JpegPlugin, ProgressRunsFromZeroToTheTotalAndCanStop)
{
    const Bytes data = encodeJpeg(JpegKind::Grey, 8, 5, Bytes(40, 100));
    ProgressLog log;
    ASSERT_EQ(decode(jpeg, data, &log).result, SPI_ALL_RIGHT);
    const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}};
    EXPECT_EQ(log.calls, expected);
    for (std::int32_t at : {0, 2, 5}) {
        ProgressLog stop;
        stop.abortAt = at;
        EXPECT_EQ(decode(jpeg, data, &stop).result, SPI_ABORT) << at;
        EXPECT_EQ(stop.calls.back().first, at);
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore) << at;
    }
}

TEST_F(JpegPlugin, BrokenDataIsRefusedWithItsCode)
{
    EXPECT_EQ(decode(jpeg, {}).result, SPI_NOT_SUPPORT);
    EXPECT_EQ(decode(jpeg, {'G', 'I', 'F'}).result, SPI_NOT_SUPPORT);
    // A start-of-image marker and nothing of a picture after it.
    EXPECT_EQ(decode(jpeg, {0xFF, 0xD8, 0xFF, 0xD9}).result, SPI_OUT_OF_ORDER);
    Bytes garbage{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08};
    garbage.resize(300, 0x5A);
    EXPECT_EQ(decode(jpeg, garbage).result, SPI_OUT_OF_ORDER);
    // Cut inside the header.
    const Bytes good = encodeJpeg(JpegKind::Rgb, 16, 16, quadrants());
    EXPECT_EQ(decode(jpeg, Bytes(good.begin(), good.begin() + 100)).result, SPI_OUT_OF_ORDER);
    // Zero height in the frame header.
    Bytes zero = good;
    for (std::size_t i = 2; i + 8 < zero.size(); ++i)
        if (zero[i] == 0xFF && zero[i + 1] == 0xC0) {
            zero[i + 5] = zero[i + 6] = 0;
            break;
        }
    EXPECT_EQ(decode(jpeg, zero).result, SPI_OUT_OF_ORDER);
}

} // namespace
} // namespace tavo::spitest
