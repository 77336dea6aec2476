// The GIF plug-in through its entry points: pictures written with giflib's
// own encoder for the exact layouts, and ImageMagick's for the variants it
// reads back itself.
#include "FormatReference.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <vector>

namespace tavo::spitest {
namespace {

constexpr Rgb kBackground{240, 240, 240};

struct GifFrame {
    int left = 0, top = 0, width = 1, height = 1;
    bool interlaced = false;
    int transparent = -1;
    Bytes pixels; // width x height indices, top-down
};

struct GifLayout {
    int width = 1, height = 1;
    std::vector<Rgb> colours; // global table; none when empty
    std::vector<GifFrame> frames;
};

int appendTo(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

Bytes encodeGif(const GifLayout& layout)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendTo, &error);
    if (gif == nullptr)
        return {};
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = nullptr;
    if (!layout.colours.empty()) {
        int size = 2;
        while (size < int(layout.colours.size()))
            size *= 2;
        std::vector<GifColorType> colours(std::size_t(size), GifColorType{0, 0, 0});
        for (std::size_t i = 0; i < layout.colours.size(); ++i)
            colours[i] = {GifByteType(layout.colours[i].red), GifByteType(layout.colours[i].green), GifByteType(layout.colours[i].blue)};
        map = GifMakeMapObject(size, colours.data());
    }
    bool ok = EGifPutScreenDesc(gif, layout.width, layout.height, 8, 0, map) == GIF_OK;
    for (const GifFrame& frame : layout.frames) {
        if (frame.transparent >= 0) {
            GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, frame.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced, nullptr) == GIF_OK;
        // An interlaced frame is written in its pass order.
        std::vector<int> order;
        if (frame.interlaced) {
            static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < frame.height; y += kStep[pass])
                    order.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y)
                order.push_back(y);
        }
        for (int y : order) {
            Bytes row(frame.pixels.begin() + std::ptrdiff_t(y) * frame.width,
                      frame.pixels.begin() + std::ptrdiff_t(y + 1) * frame.width);
            ok = ok && EGifPutLine(gif, row.data(), frame.width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? out : Bytes{};
}

class GifPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gif.loaded()) << "bin/ifgif.spi did not load";
        handlesBefore = platform::liveLocalHandleCount();
    }
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore); }

    PluginModule gif{"ifgif.spi"};
    std::size_t handlesBefore = 0;
};

const std::vector<Rgb> kFour{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

TEST_F(GifPlugin, InfoTextsAndSignature)
{
    EXPECT_EQ(gif.info(0), "00IN");
    EXPECT_FALSE(gif.info(1).empty());
    EXPECT_EQ(gif.info(2), "*.gif");
    EXPECT_EQ(gif.info(3), "GIF");
    EXPECT_EQ(gif.info(4), "");
    const Bytes picture = encodeGif({3, 2, kFour, {{0, 0, 3, 2, false, -1, {0, 1, 2, 3, 0, 1}}}});
    ASSERT_FALSE(picture.empty());
    EXPECT_NE(gif.isSupported(picture), 0);
    EXPECT_NE(gif.isSupported({'G', 'I', 'F', '8', '7', 'a'}), 0);
    EXPECT_EQ(gif.isSupported({'G', 'I', 'F', '8', '8', 'a'}), 0);
    EXPECT_EQ(gif.isSupported({0x89, 'P', 'N', 'G'}), 0);
    SPI_PICTINFO info;
    ASSERT_EQ(gif.pictureInfo(picture, info), SPI_ALL_RIGHT);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.colorDepth, 8);
}

TEST_F(GifPlugin, FirstFrameIsComposedOnTheLogicalScreen)
{
    // A frame filling the screen: its indices with the table, 8 bits.
    Dib dib = decode(gif, encodeGif({3, 2, kFour, {{0, 0, 3, 2, false, -1, {0, 1, 2, 3, 0, 1}}}}));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.colors, 256u);
    EXPECT_EQ(dib.pixel(0, 0), kFour[0]);
    EXPECT_EQ(dib.pixel(2, 0), kFour[2]);
    EXPECT_EQ(dib.pixel(0, 1), kFour[3]);
    EXPECT_EQ(dib.pixel(2, 1), kFour[1]);

    // A smaller frame with a transparent index: the rest of the screen and
    // the transparent pixels show the background; a second frame is not shown.
    GifLayout offset{5, 4, kFour, {{2, 1, 2, 2, false, 1, {0, 1, 2, 3}}, {0, 0, 5, 4, false, -1, Bytes(20, 3)}}};
    dib = decode(gif, encodeGif(offset));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.bitCount, 8);
    EXPECT_EQ(dib.width, 5);
    EXPECT_EQ(dib.height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inFrame = x >= 2 && x < 4 && y >= 1 && y < 3;
            const int index = inFrame ? (y - 1) * 2 + (x - 2) : -1;
            EXPECT_EQ(dib.pixel(x, y), index < 0 || index == 1 ? kBackground : kFour[std::size_t(index)]) << x << "," << y;
        }

    // A full 256-entry table leaves no entry for the background: 24 bits.
    std::vector<Rgb> full;
    for (int i = 0; i < 256; ++i)
        full.push_back({i, 255 - i, 7});
    dib = decode(gif, encodeGif({4, 3, full, {{1, 1, 2, 1, false, -1, {200, 9}}}}));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    EXPECT_EQ(dib.bitCount, 24);
    EXPECT_EQ(dib.pixel(0, 0), kBackground);
    EXPECT_EQ(dib.pixel(1, 1), full[200]);
    EXPECT_EQ(dib.pixel(2, 1), full[9]);
    EXPECT_EQ(dib.pixel(3, 1), kBackground);
    EXPECT_EQ(dib.pixel(1, 2), kBackground);

    // A frame reaching beyond the screen is cut at its edge.
    dib = decode(gif, encodeGif({3, 3, kFour, {{1, 1, 4, 4, false, -1, Bytes(16, 2)}}}));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.width, 3);
    EXPECT_EQ(dib.height, 3);
    EXPECT_EQ(dib.pixel(0, 0), kBackground);
    EXPECT_EQ(dib.pixel(2, 2), kFour[2]);

    // Without any table (giflib writes none, so the global one is cut out):
    // black and white.
    Bytes bare = encodeGif({2, 1, kFour, {{0, 0, 2, 1, false, -1, {1, 0}}}});
    ASSERT_EQ(bare[10] & 0x87, 0x81); // a global table of 4 entries
    bare[10] &= 0x7F;
    bare.erase(bare.begin() + 13, bare.begin() + 13 + 12);
    dib = decode(gif, bare);
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(dib.pixel(1, 0), (Rgb{0, 0, 0}));
}

TEST_F(GifPlugin, InterlacedRowsLandInTheirPlaces)
{
    std::vector<Rgb> greys;
    for (int i = 0; i < 16; ++i)
        greys.push_back({i * 16, i * 16, i * 16});
    GifFrame frame{0, 0, 3, 13, true, -1, {}};
    for (int y = 0; y < 13; ++y)
        frame.pixels.insert(frame.pixels.end(), 3, std::uint8_t(y));
    ProgressLog log;
    const Dib dib = decode(gif, encodeGif({3, 13, greys, {frame}}), &log);
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    for (int y = 0; y < 13; ++y)
        EXPECT_EQ(dib.pixel(1, y), greys[std::size_t(y)]) << y;
    // Progress runs from (0, rows) up to (rows, rows), never backwards.
    ASSERT_GE(log.calls.size(), 3u);
    EXPECT_EQ(log.calls.front(), (std::pair<std::int32_t, std::int32_t>{0, 13}));
    EXPECT_EQ(log.calls.back(), (std::pair<std::int32_t, std::int32_t>{13, 13}));
    for (std::size_t i = 1; i < log.calls.size(); ++i)
        EXPECT_LT(log.calls[i - 1].first, log.calls[i].first);
}

TEST_F(GifPlugin, BrokenDataIsRefusedAndAStopFreesEverything)
{
    GifFrame frame{0, 0, 40, 30, false, -1, {}};
    for (int i = 0; i < 1200; ++i)
        frame.pixels.push_back(std::uint8_t(i * 7 % 4));
    const Bytes good = encodeGif({40, 30, kFour, {frame}});
    ASSERT_EQ(decode(gif, good).result, SPI_ALL_RIGHT);
    EXPECT_EQ(decode(gif, {}).result, SPI_NOT_SUPPORT);
    EXPECT_EQ(decode(gif, {'B', 'M', 0, 0}).result, SPI_NOT_SUPPORT);
    // Cut inside the pixel data, inside the screen descriptor, before any frame.
    for (std::size_t size : {good.size() / 2, std::size_t(9), std::size_t(13 + 12)})
        EXPECT_EQ(decode(gif, Bytes(good.begin(), good.begin() + std::ptrdiff_t(size))).result, SPI_OUT_OF_ORDER) << size;
    // A file without any frame, and a screen of no size.
    EXPECT_EQ(decode(gif, encodeGif({4, 4, kFour, {}})).result, SPI_OUT_OF_ORDER);
    EXPECT_EQ(decode(gif, encodeGif({0, 4, kFour, {{0, 0, 1, 1, false, -1, {0}}}})).result, SPI_OUT_OF_ORDER);
    SPI_PICTINFO info;
    EXPECT_EQ(gif.pictureInfo(encodeGif({4, 4, kFour, {}}), info), SPI_OUT_OF_ORDER);

    for (std::int32_t at : {0, 10, 30}) {
        ProgressLog log;
        log.abortAt = at;
        EXPECT_EQ(decode(gif, good, &log).result, SPI_ABORT) << at;
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore) << at;
    }
}

// ImageMagick writes the variants and reads the first frame back, flattened
// on its transparent screen.
TEST_F(GifPlugin, ImageMagickVariantsDecodeAsImageMagickReadsThem)
{
    if (const std::string tool = missingTool({"convert"}); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (package imagemagick)";
    const fs::path work = freshFolder("gif-variants");
    ASSERT_FALSE(work.empty());
    const std::string photo = "-seed 7 -size 97x61 gradient:orange-navy -swirl 120 -attenuate 0.5 +noise Gaussian";
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"dithered.gif", photo + " -colors 256"},
        {"interlaced.gif", photo + " -colors 64 -interlace GIF"},
        {"transparent.gif", photo + " -colors 32 -fuzz 20% -transparent orange"},
        {"offset.gif", "-size 20x10 xc:red -bordercolor blue -border 2 -page 40x30+9+11"},
        {"two-colours.gif", "-size 33x9 pattern:checkerboard -monochrome"},
        {"animated.gif", "-dispose background -delay 10 -size 30x20 xc:green \\( -size 10x10 xc:yellow -page +5+5 \\) \\( -size 30x20 xc:black \\)"},
    };
    // One ImageMagick run writes them all, another reads their first frames.
    std::string write = "convert -respect-parentheses", read = write;
    for (const auto& [name, arguments] : variants) {
        const std::string next = name == variants.front().first ? "" : " +delete";
        write += next + " \\( " + arguments + " -write " + shellQuoted(work / name) + " \\)";
        read += next + " \\( " + shellQuoted((work / name).string() + "[0]") + " -background none -flatten -depth 8 -write "
            + shellQuoted("rgba:" + (work / name).string() + ".rgba") + " \\)";
    }
    ASSERT_TRUE(run(write + " null: 2>&1"));
    ASSERT_TRUE(run(read + " null: 2>&1"));
    for (const auto& [name, arguments] : variants) {
        SCOPED_TRACE(name);
        const Dib dib = decode(gif, readFile(work / name));
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        const Bytes rgba = readFile(work / (name + ".rgba"));
        int worst = 0;
        EXPECT_EQ(mismatches(dib, std::string(rgba.begin(), rgba.end()), 0, &worst), 0) << "largest difference " << worst;
    }
    fs::remove_all(work);
}

} // namespace
} // namespace tavo::spitest
