// The WebP plug-in through its entry points, on pictures written by cwebp and
// gif2webp and checked against dwebp, libwebp's own decoder.
#include "FormatReference.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

namespace tavo::spitest {
namespace {

class WebpPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(webp.loaded()) << "bin/ifwebp.spi did not load";
        handlesBefore = platform::liveLocalHandleCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore);
        if (!work.empty())
            fs::remove_all(work);
    }
    // Skips unless the tools are there; makes the test's folder.
    bool prepare(std::initializer_list<const char*> tools)
    {
        if (const std::string tool = missingTool(tools); !tool.empty()) {
            skipReason = tool + " is not installed (packages webp, imagemagick)";
            return false;
        }
        work = freshFolder("webp");
        return !work.empty();
    }
    // dwebp's RGBA pixels of a file.
    std::optional<std::string> dwebpRgba(const fs::path& file)
    {
        const auto pam = run("dwebp -quiet -pam " + shellQuoted(file) + " -o -");
        if (!pam)
            return std::nullopt;
        const std::size_t end = pam->find("ENDHDR\n");
        if (end == std::string::npos)
            return std::nullopt;
        return pam->substr(end + 7);
    }

    PluginModule webp{"ifwebp.spi"};
    std::size_t handlesBefore = 0;
    fs::path work;
    std::string skipReason;
};

TEST_F(WebpPlugin, InfoTextsAndSignature)
{
    EXPECT_EQ(webp.info(0), "00IN");
    EXPECT_FALSE(webp.info(1).empty());
    EXPECT_EQ(webp.info(2), "*.webp");
    EXPECT_EQ(webp.info(3), "WebP");
    EXPECT_EQ(webp.info(4), "");
    EXPECT_NE(webp.isSupported({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}), 0);
    EXPECT_EQ(webp.isSupported({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}), 0);
    EXPECT_EQ(webp.isSupported({'R', 'I', 'F', 'F'}), 0);
    SPI_PICTINFO info;
    EXPECT_EQ(webp.pictureInfo({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, info), SPI_OUT_OF_ORDER);
    EXPECT_EQ(webp.pictureInfo({'G', 'I', 'F', '8', '9', 'a'}, info), SPI_NOT_SUPPORT);
}

// Lossy and lossless, with and without alpha, odd sizes: the same pixels as
// dwebp (with alpha composed over the background), exactly.
TEST_F(WebpPlugin, CwebpVariantsDecodeAsDwebp)
{
    if (!prepare({"cwebp", "dwebp", "convert"}))
        GTEST_SKIP() << skipReason;
    const std::string opaque = shellQuoted(work / "opaque.png"), alpha = shellQuoted(work / "alpha.png");
    ASSERT_TRUE(run("convert -seed 3 -size 101x67 gradient:gold-purple -swirl 90 -attenuate 0.4 +noise Gaussian "
                    "-write " + opaque + " \\( -size 101x67 gradient:white-black \\) -alpha off -compose CopyOpacity "
                    "-composite " + alpha));
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"lossy.webp", "-q 75 " + opaque},
        {"lossy-sharp.webp", "-q 90 -sharp_yuv " + opaque},
        {"lossless.webp", "-lossless " + opaque},
        {"near-lossless.webp", "-near_lossless 40 " + opaque},
        {"lossy-alpha.webp", "-q 60 -alpha_q 50 " + alpha},
        {"lossless-alpha.webp", "-lossless -exact " + alpha},
    };
    for (const auto& [name, arguments] : variants) {
        SCOPED_TRACE(name);
        const fs::path file = work / name;
        ASSERT_TRUE(run("cwebp -quiet " + arguments + " -o " + shellQuoted(file)));
        const Bytes data = readFile(file);
        ASSERT_NE(webp.isSupported(data), 0);
        SPI_PICTINFO info;
        ASSERT_EQ(webp.pictureInfo(data, info), SPI_ALL_RIGHT);
        EXPECT_EQ(info.width, 101);
        EXPECT_EQ(info.height, 67);
        EXPECT_EQ(info.colorDepth, 24);
        const Dib dib = decode(webp, data);
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.bitCount, 24);
        const auto rgba = dwebpRgba(file);
        ASSERT_TRUE(rgba.has_value());
        int worst = 0;
        EXPECT_EQ(mismatches(dib, *rgba, 0, &worst), 0) << "largest difference " << worst;
    }
}

// An animation shows its first frame on the canvas: made from a GIF whose
// first frame covers part of its screen, it must look as the GIF plug-in
// shows that GIF.
TEST_F(WebpPlugin, AnimationShowsItsFirstFrameOnItsCanvas)
{
    if (!prepare({"gif2webp", "convert"}))
        GTEST_SKIP() << skipReason;
    PluginModule gif("ifgif.spi");
    ASSERT_TRUE(gif.loaded());
    const fs::path source = work / "two.gif", animation = work / "two.webp";
    ASSERT_TRUE(run("convert -dispose background -delay 20 \\( -size 12x8 xc:red -fill yellow -draw 'point 3,3' "
                    "-repage 30x20+4+6 \\) \\( -size 30x20 xc:blue -repage 30x20+0+0 \\) " + shellQuoted(source)));
    ASSERT_TRUE(run("gif2webp -quiet " + shellQuoted(source) + " -o " + shellQuoted(animation)));
    const Dib expected = decode(gif, readFile(source));
    ASSERT_EQ(expected.result, SPI_ALL_RIGHT);
    const Dib dib = decode(webp, readFile(animation));
    ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
    ASSERT_EQ(dib.layoutError, "");
    ASSERT_EQ(dib.width, 30);
    ASSERT_EQ(dib.height, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(dib.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(dib.pixel(7, 9), (Rgb{255, 255, 0}));
    EXPECT_EQ(dib.pixel(0, 0), (Rgb{240, 240, 240}));
}

TEST_F(WebpPlugin, BrokenDataIsRefusedAndAStopFreesEverything)
{
    if (!prepare({"cwebp", "convert"}))
        GTEST_SKIP() << skipReason;
    const fs::path png = work / "p.png";
    ASSERT_TRUE(run("convert -seed 5 -size 160x300 plasma:fractal " + shellQuoted(png)));
    const fs::path translucent = work / "t.png";
    ASSERT_TRUE(run("convert " + shellQuoted(png) + " -alpha set -channel A -evaluate set 60% +channel "
                    + shellQuoted(translucent)));
    // Opaque pictures report their start and end only; pictures with alpha
    // are composed in steps that report in between.
    struct Case {
        const char* mode;
        const fs::path* source;
        std::size_t minCalls;
    };
    for (const Case& c : {Case{"-q 80", &png, 2}, Case{"-lossless", &png, 2}, Case{"-q 80", &translucent, 3},
                          Case{"-lossless", &translucent, 3}}) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.source->filename().string());
        const fs::path file = work / "p.webp";
        ASSERT_TRUE(run(std::string("cwebp -quiet ") + c.mode + " " + shellQuoted(*c.source) + " -o "
                        + shellQuoted(file)));
        const Bytes good = readFile(file);
        ProgressLog log;
        ASSERT_EQ(decode(webp, good, &log).result, SPI_ALL_RIGHT);
        ASSERT_GE(log.calls.size(), c.minCalls);
        EXPECT_EQ(log.calls.front(), (std::pair<std::int32_t, std::int32_t>{0, 300}));
        EXPECT_EQ(log.calls.back(), (std::pair<std::int32_t, std::int32_t>{300, 300}));
        for (std::size_t i = 1; i < log.calls.size(); ++i)
            EXPECT_LT(log.calls[i - 1].first, log.calls[i].first);
        // A stop at the first call, at one in between and at the last.
        for (std::int32_t at : {0, log.calls[1].first, 300}) {
            ProgressLog stop;
            stop.abortAt = at;
            EXPECT_EQ(decode(webp, good, &stop).result, SPI_ABORT) << at;
            EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore) << at;
        }
        // Cut in the middle, after the headers, inside them.
        for (std::size_t size : {good.size() / 2, std::size_t(40), std::size_t(16)})
            EXPECT_EQ(decode(webp, Bytes(good.begin(), good.begin() + std::ptrdiff_t(size))).result, SPI_OUT_OF_ORDER) << size;
        Bytes damaged = good;
        for (std::size_t i = 30; i < damaged.size(); i += 7)
            damaged[i] ^= 0x5A;
        EXPECT_NE(decode(webp, damaged).result, SPI_ALL_RIGHT);
    }
}

} // namespace
} // namespace tavo::spitest
