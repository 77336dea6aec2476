// JPEG variants that no one here wrote: Go's image test data (Debian package
// golang-1.19-src), fetched at test time by tests/corpora. Their PNG references
// come from Go's own decoder, which uses another IDCT, replicates chroma
// instead of interpolating it and does no block smoothing, so those compare
// within a tolerance; files that hold the same coefficients compare exactly.
#include "JpegTestSupport.h"

#include "imaging/JpegDecoder.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <memory>

namespace tavo {
namespace {

namespace fs = std::filesystem;

// The folder of the test data, or empty when it cannot be had.
fs::path goImageTestData()
{
    static const fs::path folder = [] {
        const std::string script = std::string(TAVO_SOURCE_DIR) + "/tests/corpora/fetch-golang-image-testdata.sh";
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("'" + script + "' 2>/dev/null").c_str(), "r"), pclose);
        std::string output;
        std::array<char, 512> chunk{};
        while (pipe && std::fgets(chunk.data(), chunk.size(), pipe.get()))
            output += chunk.data();
        while (!output.empty() && output.back() == '\n')
            output.pop_back();
        const fs::path testdata = fs::path(output) / "testdata";
        return !output.empty() && fs::is_directory(testdata) ? testdata : fs::path();
    }();
    return folder;
}

#define REQUIRE_CORPUS(folder)                                                                        \
    const fs::path folder = goImageTestData();                                                       \
    if (folder.empty())                                                                               \
        GTEST_SKIP() << "Go's image test data (package golang-1.19-src) could not be fetched";

test::Pnm pngReference(const fs::path& png, const std::string& name)
{
    const fs::path ppm = test::scratchFolder("jpeg-corpus-" + name) / "ref.ppm";
    if (!test::run("/usr/bin/convert " + test::quoted(png) + " -depth 8 ppm:" + test::quoted(ppm)))
        return {};
    return test::readPnm(ppm);
}

TEST(JpegCorpus, FilesMatchTheirPngReferences)
{
    REQUIRE_CORPUS(folder);
    if (!test::commandAvailable("/usr/bin/convert"))
        GTEST_SKIP() << "ImageMagick's convert is needed to read the PNG references";
    // name, mean difference allowed, pixels off by more than 24 allowed (per mille)
    struct Reference {
        const char* name;
        double mean;
        int outliersPerMille;
    };
    // The RGB file samples red at half the resolution of green and blue, where
    // the two decoders' upsampling differs most. The CMYK file's Adobe marker
    // says its inks are inverted; read plainly it would be off by about 100.
    for (const Reference& r : {Reference{"video-001", 1.0, 1}, Reference{"video-001.221212", 1.5, 2},
                               Reference{"video-001.rgb", 5.0, 100}, Reference{"video-001.cmyk", 1.0, 1},
                               Reference{"video-001.progressive.truncated", 1.0, 1},
                               Reference{"video-005.gray", 1.5, 1}}) {
        SCOPED_TRACE(r.name);
        const std::string name = r.name;
        const test::Pnm reference = pngReference(folder / (name + ".png"), name);
        ASSERT_TRUE(reference.valid());
        const Bitmap bitmap = DecodeJpegFile((folder / (name + ".jpeg")).string());
        const double mean = test::meanAbsoluteDifference(bitmap, reference);
        const long outliers = test::differingPixels(bitmap, reference, 24);
        std::printf("%-34s mean %.3f, off by more than 24: %ld of %d\n", r.name, mean, outliers,
                    reference.width * reference.height);
        EXPECT_LT(mean, r.mean);
        EXPECT_LE(outliers * 1000, static_cast<long>(r.outliersPerMille) * reference.width * reference.height);
    }
}

TEST(JpegCorpus, EveryFileDecodesLikeDjpeg)
{
    REQUIRE_CORPUS(folder);
    if (!test::commandAvailable("djpeg"))
        GTEST_SKIP() << "djpeg (package libjpeg-turbo-progs) is not installed";
    const fs::path scratch = test::scratchFolder("jpeg-corpus-djpeg");
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        // Every file must decode, truncated ones included. djpeg writes no PPM of
        // four components: the CMYK file is checked against its PNG above.
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".jpeg" || name.find("cmyk") != std::string::npos)
            continue;
        SCOPED_TRACE(name);
        const Bitmap bitmap = DecodeJpegFile(entry.path().string());
        const std::string options = bitmap.bitCount() == 8 ? "-dct int -colors 236" : "-dct int";
        ASSERT_TRUE(test::run("djpeg " + options + " -pnm -outfile " + test::quoted(scratch / "ref.pnm") + " "
                              + test::quoted(entry.path()) + " 2>/dev/null"));
        EXPECT_EQ(test::differingPixels(bitmap, test::readPnm(scratch / "ref.pnm")), 0);
        ++count;
    }
    EXPECT_GE(count, 20);
}

TEST(JpegCorpus, ProgressiveAndBaselineCodingsOfTheSameDataAgree)
{
    REQUIRE_CORPUS(folder);
    for (const char* name : {"video-001.q50.410", "video-001.q50.411", "video-001.q50.420", "video-001.q50.422",
                             "video-001.q50.440", "video-001.q50.444", "video-005.gray.q50",
                             "video-005.gray.q50.2x2", "video-001.separate.dc.progression"}) {
        SCOPED_TRACE(name);
        const Bitmap baseline = DecodeJpegFile((folder / (std::string(name) + ".jpeg")).string());
        const Bitmap progressive = DecodeJpegFile((folder / (std::string(name) + ".progressive.jpeg")).string());
        ASSERT_EQ(baseline.width(), progressive.width());
        ASSERT_EQ(baseline.height(), progressive.height());
        ASSERT_EQ(baseline.bitCount(), progressive.bitCount());
        int differing = 0;
        for (std::int32_t y = 0; y < baseline.height(); ++y)
            differing += std::memcmp(baseline.row(y), progressive.row(y), baseline.stride()) != 0;
        EXPECT_EQ(differing, 0);
    }
}

} // namespace
} // namespace tavo
