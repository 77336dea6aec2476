// The load's choice of decoder by extension, and the decode tool built on it.
#include "app/PictureFile.h"
#include "imaging/BmpReader.h"
#include "platform/Errors.h"

#include "../TestScratch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace tavo {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(TAVO_SOURCE_DIR) / "samples";

fs::path scratch(const std::string& name)
{
    return test::uniqueScratchFolder(name, fs::path(TAVO_BINARY_DIR) / "test-scratch");
}

TEST(PictureFile, DecoderIsChosenByTheUpperCasedExtensionExactly)
{
    for (const char* path : {"photo.Jpeg", "PHOTO.JPG", "/p/photo.jpg", "x.jPeG"})
        EXPECT_EQ(pictureDecoderFor(path), PictureDecoder::Jpeg) << path;
    for (const char* path : {"a.bmp", "/x/A.BMP", "b.Bmp"})
        EXPECT_EQ(pictureDecoderFor(path), PictureDecoder::Bmp) << path;
    for (const char* path : {"photo.jpe", "photo.jfif", "a.dib", "photo", "/a.b/file", "a.bmp.png", "a.jpg.", ".jpgx"})
        EXPECT_EQ(pictureDecoderFor(path), PictureDecoder::Plugins) << path;
}

TEST(PictureFile, ExtensionNotContentDecidesTheDecoder)
{
    const fs::path folder = scratch("picture-file-choice");
    fs::copy_file(kSamples / "photo-baseline.jpg", folder / "a.JPEG");
    fs::copy_file(kSamples / "photo-8bit.bmp", folder / "b.Bmp");
    fs::copy_file(kSamples / "photo-8bit.bmp", folder / "c.jpg");
    fs::copy_file(kSamples / "photo-baseline.jpg", folder / "d.png");

    const Bitmap jpeg = decodePictureFile((folder / "a.JPEG").string());
    EXPECT_EQ(jpeg.width(), 1600);
    EXPECT_EQ(jpeg.bitCount(), 24);
    const Bitmap bmp = decodePictureFile((folder / "b.Bmp").string());
    EXPECT_EQ(bmp.bitCount(), 8);
    EXPECT_EQ(bmp.width(), 640);
    EXPECT_THROW(decodePictureFile((folder / "c.jpg").string()), EJPEG);
    try {
        decodePictureFile((folder / "d.png").string());
        FAIL() << "no plug-in is bound, yet a PNG decoded";
    } catch (const EInvalidGraphic& error) {
        EXPECT_STREQ(error.what(), "認識できない画像形式です");
    }
}

TEST(PictureFile, EmptyFilesDifferByDecoder)
{
    const fs::path folder = scratch("picture-file-empty");
    std::ofstream(folder / "e.jpg").close();
    std::ofstream(folder / "e.bmp").close();
    EXPECT_THROW(decodePictureFile((folder / "e.jpg").string()), EJPEG);
    EXPECT_TRUE(decodePictureFile((folder / "e.bmp").string()).isEmpty());
}

// Runs the decode tool; its exit status, standard output and standard error.
struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

ToolRun runDecodeTool(const std::string& arguments, const fs::path& folder)
{
    const std::string tool = std::string(TAVO_BINARY_DIR) + "/bin/tavotavo-decode";
    const std::string command = "'" + tool + "' " + arguments + " >'" + (folder / "out.txt").string() + "' 2>'"
        + (folder / "err.txt").string() + "'";
    ToolRun run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const fs::path& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    run.out = slurp(folder / "out.txt");
    run.err = slurp(folder / "err.txt");
    return run;
}

TEST(DecodeTool, WritesTheLoadedPictureAsBmpAndTimesTheDecode)
{
    const fs::path folder = scratch("decode-tool");
    const fs::path out = folder / "out.bmp";
    const ToolRun run = runDecodeTool("'" + (kSamples / "photo-grey.jpg").string() + "' '" + out.string() + "' --time", folder);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(std::stod(run.out), 0.0);
    const Bitmap written = ReadBmpFile(out.string());
    const Bitmap decoded = decodePictureFile((kSamples / "photo-grey.jpg").string());
    ASSERT_EQ(written.bitCount(), 8);
    EXPECT_EQ(written.palette(), decoded.palette());
    for (std::int32_t y = 0; y < decoded.height(); ++y)
        ASSERT_EQ(std::memcmp(written.row(y), decoded.row(y), decoded.stride()), 0) << "row " << y;
}

TEST(DecodeTool, FailurePrintsTheMessageAndExitsNonZero)
{
    const fs::path folder = scratch("decode-tool-failure");
    const std::string missing = (folder / "missing.jpg").string();
    const ToolRun run = runDecodeTool("'" + missing + "' '" + (folder / "out.bmp").string() + "'", folder);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "ﾌｧｲﾙ " + missing + " は開けません\n");
    EXPECT_FALSE(fs::exists(folder / "out.bmp"));
    EXPECT_NE(runDecodeTool("only-one-argument", folder).status, 0);
}

} // namespace
} // namespace tavo
