// Test pictures that no one here wrote, from Debian's packages: libheif's
// examples and fuzzing corpus, libavif's test data and libjxl's test data
// (conformance pictures and the crashers its fuzzers found). Each file the
// library's own tool decodes must decode to the tool's pixels; each it
// refuses must be refused with a code, never a fault (the sanitizer build
// runs these too). The AVIF plug-in, like browsers, forgives what libavif's
// strict checks refuse (a missing pixel-information property, for one), so
// avifdec is asked with --no-strict. Fetched at test time; skips without them.
#include "ModernFormatTools.h"
#include "platform/LocalMemory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavo::spitest {
namespace {

std::string quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// Every regular file below folder whose name ends in one of the extensions
// (all files when none is given), sorted.
std::vector<fs::path> filesBelow(const fs::path& folder, std::vector<std::string> extensions = {})
{
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file()
                && (extensions.empty() || std::find(extensions.begin(), extensions.end(), ext) != extensions.end()))
                files.push_back(entry.path());
        }
    std::sort(files.begin(), files.end());
    return files;
}

struct Tally {
    int decoded = 0, refused = 0;
};

class ModernCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!run("convert -version"))
            GTEST_SKIP() << "ImageMagick is not installed (package imagemagick)";
        handles = platform::liveLocalHandleCount();
    }
    void TearDown() override { EXPECT_EQ(platform::liveLocalHandleCount(), handles); }

    // file through its plug-in, against the pictures the tool command wrote
    // into the scratch folder as out*.png (a file with several top-level
    // pictures gives several; the plug-in shows the primary one).
    void check(const fs::path& file, const std::string& toolCommand, int tolerance, Tally& tally)
    {
        SCOPED_TRACE(file.string());
        for (const auto& old : filesBelow(folder / ""))
            fs::remove(old);
        const bool toolDecodes = run("cd " + quoted(folder / "") + " && timeout 120 " + toolCommand + " "
                                     + quoted(file) + " out.png >/dev/null 2>&1").has_value();
        const std::vector<fs::path> outputs = filesBelow(folder / "", {".png"});
        PluginModule module(pluginFor(file));
        ASSERT_TRUE(module.loaded());
        // In this process, so that a fault or a sanitizer report fails the test.
        const Dib dib = decode(module, readFile(file.string()));
        EXPECT_TRUE(dib.result != SPI_ALL_RIGHT || dib.layoutError.empty()) << dib.layoutError;
        if (!toolDecodes || outputs.empty()) {
            EXPECT_NE(dib.result, SPI_ALL_RIGHT) << "decoded what the library's tool refuses";
            tally.refused += dib.result != SPI_ALL_RIGHT;
            return;
        }
        ASSERT_EQ(dib.result, SPI_ALL_RIGHT) << "refused what the library's tool decodes";
        const auto ours = decodeAsViewer(file);
        ASSERT_TRUE(ours.has_value());
        int best = -1;
        for (const auto& output : outputs)
            if (const auto theirs = readReference(output)) {
                const int worst = worstDifference(*ours, *theirs);
                if (worst >= 0 && (best < 0 || worst < best))
                    best = worst;
            }
        EXPECT_GE(best, 0) << "no picture of the tool's has the plug-in's size";
        EXPECT_LE(best, tolerance);
        ++tally.decoded;
    }

    ScratchFolder folder{"modern-corpus"};
    std::size_t handles = 0;
};

TEST_F(ModernCorpus, LibheifExamplesAndFuzzingFilesDecodeAsItsToolsDo)
{
    const auto root = fetch("source libheif");
    if (!root || !fs::is_directory(*root / "fuzzing"))
        GTEST_SKIP() << "libheif's sources not available: tests/corpora/fetch.sh source libheif failed";
    Tally heif, avif;
    check(*root / "examples" / "example.heic", "heif-convert --quiet", 0, heif);
    for (const auto& file : filesBelow(*root / "fuzzing", {".heic"}))
        check(file, "heif-convert --quiet", 0, heif);
    check(*root / "examples" / "example.avif", "avifdec --no-strict -d 8", 0, avif);
    EXPECT_GE(heif.decoded, 5);
    EXPECT_GE(heif.refused, 20);
    EXPECT_EQ(avif.decoded, 1);
}

TEST_F(ModernCorpus, LibavifTestDataDecodesAsAvifdecDoes)
{
    const auto root = fetch("source libavif");
    if (!root || !fs::is_directory(*root / "tests" / "data"))
        GTEST_SKIP() << "libavif's sources not available: tests/corpora/fetch.sh source libavif failed";
    Tally tally;
    for (const auto& file : filesBelow(*root / "tests" / "data", {".avif"}))
        check(file, "avifdec --no-strict -d 8", 0, tally);
    EXPECT_GE(tally.decoded, 5);
}

TEST_F(ModernCorpus, LibjxlTestDataDecodesAsDjxlDoes)
{
    const auto package = fetch("binary libjxl-testdata");
    const fs::path root = package ? *package / "usr/share/libjxl-testdata" : fs::path();
    if (!fs::is_directory(root / "jxl"))
        GTEST_SKIP() << "libjxl's test data not available: tests/corpora/fetch.sh binary libjxl-testdata failed";
    Tally pictures;
    // The plug-in delivers sRGB; djxl is asked for it too. Some pictures have
    // 16-bit samples that ImageMagick rounds to 8: one step of difference.
    for (const auto& file : filesBelow(root / "jxl", {".jxl"}))
        check(file, "djxl --color_space=RGB_D65_SRG_Rel_SRG", 1, pictures);
    EXPECT_GE(pictures.decoded, 6);

    // The fuzzers' crashers: never a fault; what djxl decodes decodes. A few
    // whose later frames are broken are shown by their first frame, which
    // djxl, decoding every frame, refuses: those are not compared.
    PluginModule jxl("ifjxl.spi");
    ASSERT_TRUE(jxl.loaded());
    int refused = 0, files = 0;
    for (const auto& file : filesBelow(root / "oss-fuzz")) {
        SCOPED_TRACE(file.string());
        const Dib dib = decode(jxl, readFile(file.string()));
        EXPECT_TRUE(dib.result != SPI_ALL_RIGHT || dib.layoutError.empty()) << dib.layoutError;
        const bool djxlDecodes = run("timeout 120 djxl " + quoted(file) + " " + quoted(folder / "fuzz.png") + " >/dev/null 2>&1").has_value();
        if (djxlDecodes) {
            EXPECT_EQ(dib.result, SPI_ALL_RIGHT);
        }
        refused += dib.result != SPI_ALL_RIGHT;
        ++files;
    }
    EXPECT_GE(files, 40);
    EXPECT_GE(refused, 30);
}

} // namespace
} // namespace tavo::spitest
