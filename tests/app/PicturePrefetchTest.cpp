// The command-line picture decoded ahead: the load gets exactly what its own
// decode would give, picture or error, and nothing when the file it names is
// not the file that was decoded as it was then.
#include "app/PictureFile.h"
#include "app/PicturePrefetch.h"
#include "imaging/JpegDecoder.h"
#include "platform/Errors.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <chrono>
#include <sys/stat.h>
#include <utility>

namespace tavo {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(TAVO_SOURCE_DIR) / "samples";

void expectSamePicture(const Bitmap& actual, const Bitmap& expected)
{
    ASSERT_EQ(actual.width(), expected.width());
    ASSERT_EQ(actual.height(), expected.height());
    ASSERT_EQ(actual.bitCount(), expected.bitCount());
    EXPECT_EQ(actual.palette(), expected.palette());
    for (std::int32_t y = 0; y < actual.height(); ++y)
        ASSERT_EQ(0, std::memcmp(actual.row(y), expected.row(y), actual.stride())) << "row " << y;
}

// The message of what decodePictureFile throws for path.
std::string decodeError(const std::string& path)
{
    try {
        decodePictureFile(path);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

TEST(PicturePrefetch, TheLoadGetsThePictureOrTheErrorItsOwnDecodeGives)
{
    const test::ScratchFolder folder;
    for (const char* name : {"photo-baseline.jpg", "photo-grey.jpg", "photo-progressive.jpg", "photo-8bit.bmp"}) {
        const std::string path = (kSamples / name).string();
        PicturePrefetch prefetch(path);
        std::optional<Bitmap> picture = prefetch.take(path);
        ASSERT_TRUE(picture) << name;
        expectSamePicture(*picture, decodePictureFile(path));
        EXPECT_FALSE(prefetch.take(path)) << "taken once only: " << name;
    }

    // A file the decoder refuses, and an empty JPEG: the same error, raised by take.
    test::writeText(folder.file("broken.jpg"), "\xFF\xD8 not a JPEG stream at all");
    test::writeText(folder.file("empty.jpg"), "");
    test::writeText(folder.file("broken.bmp"), "XX not a bitmap");
    for (const char* name : {"broken.jpg", "empty.jpg", "broken.bmp"}) {
        const std::string path = folder.file(name);
        PicturePrefetch prefetch(path);
        try {
            prefetch.take(path);
            ADD_FAILURE() << name << " gave no error";
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), decodeError(path)) << name;
        }
    }
}

TEST(PicturePrefetch, NothingWhenTheLoadNamesAnotherOrAChangedFile)
{
    const test::ScratchFolder folder;
    const std::string path = folder.file("a.jpg");
    fs::copy_file(kSamples / "photo-baseline.jpg", path);

    // Missing: the load reports it itself, at its moment.
    PicturePrefetch missing(folder.file("missing.jpg"));
    EXPECT_FALSE(missing.take(folder.file("missing.jpg")));

    // Another file of the same bytes, and the same file under another decoder.
    const std::string copy = folder.file("b.jpg");
    fs::copy_file(path, copy);
    PicturePrefetch other(path);
    EXPECT_FALSE(other.take(copy));
    const std::string link = folder.file("a.bmp");
    fs::create_hard_link(path, link);
    PicturePrefetch renamed(path);
    EXPECT_FALSE(renamed.take(link));

    // Rewritten with another picture, normally after it was read: whenever
    // that happened, the load gets the picture the file holds now.
    PicturePrefetch stale(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fs::copy_file(kSamples / "photo-grey.jpg", path, fs::copy_options::overwrite_existing);
    if (const std::optional<Bitmap> picture = stale.take(path))
        expectSamePicture(*picture, decodePictureFile(path));

    // The plug-in path and folders are never decoded ahead.
    fs::copy_file(kSamples / "photo-baseline.jpg", folder.file("c.png"));
    PicturePrefetch plugins(folder.file("c.png"));
    EXPECT_FALSE(plugins.take(folder.file("c.png")));
    fs::create_directory(folder.file("d.jpg"));
    PicturePrefetch directory(folder.file("d.jpg"));
    EXPECT_FALSE(directory.take(folder.file("d.jpg")));

    // The screen turned out to have 256 colours: the 24-bit result does not apply.
    const int depth = jpegScreenDepth();
    PicturePrefetch coloured(path);
    setJpegScreenDepth(8);
    const bool taken = coloured.take(path).has_value();
    setJpegScreenDepth(depth);
    EXPECT_FALSE(taken);
}

} // namespace
} // namespace tavo
