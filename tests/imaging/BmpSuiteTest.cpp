// The reader on the BMP suite that ships with Debian's pillow sources (good,
// questionable and bad files, written elsewhere). tests/corpora/fetch-pillow-bmp.sh
// fetches it into a cache outside the repository; without it these tests skip.
// Good files are checked pixel for pixel against ImageMagick's decoder.
#include "imaging/BmpReader.h"
#include "platform/Errors.h"

#include "../TestScratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tavo;
namespace fs = std::filesystem;

namespace {

struct Corpus {
    std::optional<fs::path> folder;
    std::string why;
};

// Runs a command and gives its standard output.
std::optional<std::string> output(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, got);
    if (pclose(pipe.release()) != 0)
        return std::nullopt;
    return out;
}

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (const char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

const Corpus& corpus()
{
    static const Corpus found = [] {
        const fs::path errors = test::uniqueScratchFolder("tavo-pillow-bmp-fetch") / "errors.txt";
        const std::string script = std::string(TAVO_SOURCE_DIR) + "/tests/corpora/fetch-pillow-bmp.sh";
        const auto printed = output(quoted(script) + " 2>" + quoted(errors.string()));
        Corpus c;
        if (printed && !printed->empty()) {
            c.folder = fs::path(printed->substr(0, printed->find('\n')));
        } else {
            std::ifstream in(errors);
            c.why = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        fs::remove(errors);
        return c;
    }();
    return found;
}

// ImageMagick's own convert, not a stand-in that may sit earlier on the path.
std::optional<std::string> imageMagick()
{
    for (const char* candidate : {"/usr/bin/convert", "/usr/bin/convert-im6.q16"})
        if (fs::exists(candidate))
            return std::string(candidate);
    return std::nullopt;
}

std::vector<fs::path> files(const std::string& sub)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(*corpus().folder / sub))
        if (e.is_regular_file())
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::uint8_t> contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#define REQUIRE_CORPUS()                                                                              \
    if (!corpus().folder)                                                                             \
    GTEST_SKIP() << "BMP suite of the pillow sources not available: " << corpus().why

// The file read both ways must give the same picture.
void expectSameAsStream(const Bitmap& fromFile, const fs::path& path)
{
    const auto bytes = contents(path);
    const Bitmap fromStream = ReadBmpStream(bytes.data(), bytes.size());
    ASSERT_EQ(fromFile.width(), fromStream.width());
    ASSERT_EQ(fromFile.height(), fromStream.height());
    ASSERT_EQ(fromFile.bitCount(), fromStream.bitCount());
    EXPECT_EQ(0, std::memcmp(fromFile.bits(), fromStream.bits(), fromFile.byteSize()));
    EXPECT_EQ(fromFile.palette(), fromStream.palette());
}

} // namespace

TEST(BmpSuite, GoodFilesDecodeToTheReferencePixels)
{
    REQUIRE_CORPUS();
    const auto convert = imageMagick();
    if (!convert)
        GTEST_SKIP() << "ImageMagick (package imagemagick) is not installed";
    const auto good = files("g");
    ASSERT_GE(good.size(), 20u);
    for (const fs::path& file : good) {
        SCOPED_TRACE(file.filename().string());
        const Bitmap bitmap = ReadBmpFile(file.string());
        ASSERT_FALSE(bitmap.isEmpty());
        expectSameAsStream(bitmap, file);
        const auto reference = output(*convert + " " + quoted(file.string()) + " -depth 8 rgb:- 2>/dev/null");
        ASSERT_TRUE(reference.has_value());
        const Bitmap bgr = bitmap.toBgr24();
        const auto w = static_cast<std::size_t>(bgr.width());
        ASSERT_EQ(reference->size(), w * static_cast<std::size_t>(bgr.height()) * 3);
        // Channels of fewer than 8 bits (16-bit files) are widened by rounding
        // here and by truncation in the reference: they may differ by one.
        const int tolerance = bitmap.bitCount() == 16 ? 1 : 0;
        const auto near = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
        int mismatches = 0;
        for (std::int32_t y = 0; y < bgr.height(); ++y) {
            const std::uint8_t* ours = bgr.row(y);
            const auto* theirs = reinterpret_cast<const std::uint8_t*>(reference->data()) + y * w * 3;
            for (std::size_t x = 0; x < w; ++x) {
                const bool same = near(ours[3 * x], theirs[3 * x + 2]) && near(ours[3 * x + 1], theirs[3 * x + 1]) &&
                                  near(ours[3 * x + 2], theirs[3 * x]);
                if (!same && mismatches++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": ours BGR " << int(ours[3 * x]) << " "
                                  << int(ours[3 * x + 1]) << " " << int(ours[3 * x + 2]) << ", reference RGB "
                                  << int(theirs[3 * x]) << " " << int(theirs[3 * x + 1]) << " "
                                  << int(theirs[3 * x + 2]);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(BmpSuite, QuestionableFilesDecodeOrAreRefusedWithTheReadersMessages)
{
    REQUIRE_CORPUS();
    for (const fs::path& file : files("q")) {
        SCOPED_TRACE(file.filename().string());
        try {
            const Bitmap bitmap = ReadBmpFile(file.string());
            expectSameAsStream(bitmap, file);
            (void)bitmap.toBgr24();
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です");
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "ｽﾄﾘｰﾑからの読み込みｴﾗｰ");
        }
    }
}

TEST(BmpSuite, BadFilesFailCleanlyOrDecode)
{
    REQUIRE_CORPUS();
    for (const fs::path& file : files("b")) {
        SCOPED_TRACE(file.filename().string());
        const auto bytes = contents(file);
        // Anything but one of our errors escaping, or a sanitizer report, fails.
        try {
            (void)ReadBmpStream(bytes.data(), bytes.size()).toBgr24();
        } catch (const Exception&) {
        }
        try {
            (void)ReadBmpFile(file.string());
        } catch (const Exception&) {
        }
    }
}
