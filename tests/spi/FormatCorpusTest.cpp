// Test pictures no one here wrote, from Debian's packages, through the GIF,
// WebP and TIFF plug-ins: every valid file gives the reference decoder's
// pixels, every broken one is refused. Fetched at test time; skips without them.
#include "FormatReference.h"
#include "PluginHarness.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <fstream>
#include <memory>
#include <set>

namespace tavo::spitest {
namespace {

// A PNG file's pixels as RGBA bytes, decoded with libspng.
std::optional<std::string> pngRgba(const fs::path& file)
{
    const Bytes data = readFile(file);
    std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
    std::size_t size = 0;
    if (!ctx || spng_set_png_buffer(ctx.get(), data.data(), data.size())
        || spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size))
        return std::nullopt;
    std::string out(size, '\0');
    if (spng_decode_image(ctx.get(), out.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS))
        return std::nullopt;
    return out;
}

// The value of "key = value" in a test description.
std::string confValue(const fs::path& conf, const std::string& key)
{
    std::ifstream in(conf);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + " = ", 0) == 0)
            return line.substr(key.size() + 3);
    return {};
}

class FormatCorpus : public ::testing::Test {
protected:
    void SetUp() override { handlesBefore = platform::liveLocalHandleCount(); }
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handlesBefore); }

    // The file decodes and matches the reference pixels exactly.
    void expectDecodesAs(const PluginModule& plugin, const fs::path& file, const std::optional<std::string>& rgba)
    {
        SCOPED_TRACE(file.string());
        const Bytes data = readFile(file);
        ASSERT_NE(plugin.isSupported(data), 0);
        SPI_PICTINFO info;
        ASSERT_EQ(plugin.pictureInfo(data, info), SPI_ALL_RIGHT);
        const Dib dib = decode(plugin, data);
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT);
        ASSERT_EQ(dib.layoutError, "");
        EXPECT_EQ(dib.width, info.width);
        EXPECT_EQ(dib.height, info.height);
        EXPECT_EQ(dib.bitCount, info.colorDepth);
        ASSERT_TRUE(rgba.has_value());
        int worst = 0;
        EXPECT_EQ(mismatches(dib, *rgba, 0, &worst), 0) << "largest difference " << worst;
        ++decoded;
    }
    void expectRefused(const PluginModule& plugin, const fs::path& file)
    {
        SCOPED_TRACE(file.string());
        const Bytes data = readFile(file);
        SPI_PICTINFO info;
        plugin.pictureInfo(data, info); // may or may not see the damage; must not fault
        EXPECT_NE(decode(plugin, data).result, SPI_ALL_RIGHT);
        ++refused;
    }

    std::size_t handlesBefore = 0;
    int decoded = 0, refused = 0;
};

// The GIF test suite describes each file's frames by reference pictures; the
// first frame is what the plug-in shows.
TEST_F(FormatCorpus, GifTestSuiteOfGdkPixbuf)
{
    auto root = fetch("binary gdk-pixbuf-tests");
    if (root)
        root = *root / "usr/libexec/installed-tests/gdk-pixbuf/test-images";
    if (!root || !fs::is_directory(*root / "gif-test-suite"))
        GTEST_SKIP() << "gdk-pixbuf's test pictures not available: tests/corpora/fetch.sh binary gdk-pixbuf-tests failed";
    PluginModule gif("ifgif.spi");
    ASSERT_TRUE(gif.loaded());
    const fs::path suite = *root / "gif-test-suite";
    // The tests its list names; those it leaves out (commented) describe
    // later frames or pictures made of several images, not the first frame.
    std::set<std::string> listed;
    std::ifstream list(suite / "TESTS");
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            listed.insert(line);
    EXPECT_GE(listed.size(), 60u);
    int withoutPicture = 0;
    for (const auto& conf : filesIn(suite, ".conf")) {
        const fs::path file = suite / confValue(conf, "input");
        const std::string frames = confValue(conf, "frames");
        std::string first = confValue(conf, "pixels");
        if (frames.empty() || first.empty() || listed.count(conf.stem().string()) == 0) {
            // No picture described, or not the first frame's: whatever
            // giflib makes of it (colours beyond the table, a plain-text
            // block, an empty frame), it must not fault.
            const Dib dib = decode(gif, readFile(file));
            if (dib.result == SPI_ALL_RIGHT) {
                EXPECT_EQ(dib.layoutError, "") << file;
            }
            ++withoutPicture;
            continue;
        }
        // giflib stops at a code that follows a full code table without a clear.
        if (file.filename() == "max-codes.gif") {
            expectRefused(gif, file);
            continue;
        }
        expectDecodesAs(gif, file, pngRgba(suite / (first.substr(0, first.rfind('.')) + ".png")));
    }
    for (const auto& file : filesIn(*root / "fail", ".gif"))
        expectRefused(gif, file);
    EXPECT_GE(decoded, 60);
    EXPECT_GE(refused, 9);
    std::printf("GIF test suite: %d files decoded as described, %d refused, %d others read without fault\n", decoded, refused,
                withoutPicture);
}

TEST_F(FormatCorpus, WebpAndTiffFilesOfTheGoImageLibrary)
{
    if (const std::string tool = missingTool({"dwebp", "tiff2rgba"}); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (packages webp, libtiff-tools)";
    auto root = fetch("binary golang-golang-x-image-dev");
    if (root)
        root = *root / "usr/share/gocode/src/golang.org/x/image/testdata";
    if (!root || !fs::is_directory(*root))
        GTEST_SKIP() << "Go's image test files not available: tests/corpora/fetch.sh binary golang-golang-x-image-dev failed";
    PluginModule webp("ifwebp.spi"), tiff("iftiff.spi");
    ASSERT_TRUE(webp.loaded());
    ASSERT_TRUE(tiff.loaded());
    const fs::path work = freshFolder("go-corpus");
    for (const auto& file : filesIn(*root, ".webp")) {
        auto pam = run("dwebp -quiet -pam " + shellQuoted(file) + " -o -");
        if (pam && pam->find("ENDHDR\n") != std::string::npos)
            pam = pam->substr(pam->find("ENDHDR\n") + 7);
        expectDecodesAs(webp, file, pam);
    }
    const int webpFiles = decoded;
    for (const auto& file : filesIn(*root, ".tiff")) {
        expectDecodesAs(tiff, file, tiff2rgbaPixels(file, work / "reference.tif"));
    }
    fs::remove_all(work);
    EXPECT_GE(webpFiles, 12);
    EXPECT_GE(decoded - webpFiles, 14);
    std::printf("Go image files: %d WebP and %d TIFF files decoded as dwebp and tiff2rgba read them\n", webpFiles,
                decoded - webpFiles);
}

// libtiff's own test pictures: what tiff2rgba reads, the plug-in reads alike;
// what it refuses (floating-point samples, directory loops), the plug-in refuses.
TEST_F(FormatCorpus, TiffTestPicturesOfLibtiff)
{
    if (const std::string tool = missingTool({"tiff2rgba"}); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (package libtiff-tools)";
    const auto root = fetch("source tiff");
    if (!root || !fs::is_directory(*root / "test/images"))
        GTEST_SKIP() << "libtiff's test pictures not available: tests/corpora/fetch.sh source tiff failed";
    PluginModule tiff("iftiff.spi");
    ASSERT_TRUE(tiff.loaded());
    const fs::path work = freshFolder("tiff-corpus");
    std::vector<fs::path> files = filesIn(*root / "test/images", ".tiff");
    for (const auto& file : filesIn(*root / "test/images", ".tif"))
        files.push_back(file);
    for (const auto& file : files) {
        if (const auto rgba = tiff2rgbaPixels(file, work / "reference.tif"))
            expectDecodesAs(tiff, file, rgba);
        else
            expectRefused(tiff, file);
    }
    fs::remove_all(work);
    EXPECT_GE(decoded, 20);
    std::printf("libtiff's test pictures: %d decoded as tiff2rgba reads them, %d refused alike\n", decoded, refused);
}

} // namespace
} // namespace tavo::spitest
