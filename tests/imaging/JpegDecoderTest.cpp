// The JPEG decoder against libjpeg-turbo's djpeg run with the same parameters:
// the output must agree pixel for pixel. The inputs are made here with cjpeg.
#include "JpegTestSupport.h"

#include "imaging/JpegDecoder.h"
#include "platform/Errors.h"
#include "tools/make-samples/PhotoPattern.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::quoted;

// Odd sides, so that the last MCU row and column are partial and rows padded.
constexpr std::int32_t kWidth = 301;
constexpr std::int32_t kHeight = 203;

class ScreenDepth {
public:
    explicit ScreenDepth(int depth) : saved_(jpegScreenDepth()) { setJpegScreenDepth(depth); }
    ~ScreenDepth() { setJpegScreenDepth(saved_); }

private:
    int saved_;
};

struct DjpegCase {
    const char* name;
    const char* cjpegOptions;
    int screenDepth;
    double keptFraction; // below 1: the file is cut off there
};

void PrintTo(const DjpegCase& c, std::ostream* out) { *out << c.name; }

class JpegAgainstDjpeg : public ::testing::TestWithParam<DjpegCase> {};

TEST_P(JpegAgainstDjpeg, DecodesPixelForPixelLikeDjpeg)
{
    if (!test::commandAvailable("cjpeg") || !test::commandAvailable("djpeg"))
        GTEST_SKIP() << "cjpeg and djpeg (package libjpeg-turbo-progs) are not installed";
    const DjpegCase& c = GetParam();
    const fs::path folder = test::scratchFolder(std::string("jpeg-djpeg-") + c.name);
    test::writePpm(folder / "in.ppm", kWidth, kHeight, samples::photoRgb(kWidth, kHeight));
    const fs::path jpeg = folder / "in.jpg";
    ASSERT_TRUE(test::run(std::string("cjpeg ") + c.cjpegOptions + " -outfile " + quoted(jpeg) + " " + quoted(folder / "in.ppm")));
    if (c.keptFraction < 1) {
        std::vector<std::uint8_t> bytes = test::readBytes(jpeg);
        bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * c.keptFraction));
        test::writeBytes(jpeg, bytes);
    }

    ScreenDepth depth(c.screenDepth);
    TJPEGImage image;
    image.loadFromFile(jpeg.string());
    EXPECT_EQ(image.width(), kWidth);
    EXPECT_EQ(image.height(), kHeight);
    const Bitmap& bitmap = image.bitmap();

    // djpeg's defaults are ours: accurate integer DCT, block smoothing, fancy
    // upsampling, Floyd–Steinberg dithering, two-pass quantisation for colour.
    const bool grey = std::string(c.cjpegOptions).find("-grayscale") != std::string::npos;
    const bool quantized = grey || c.screenDepth <= 8;
    const std::string options = quantized ? "-dct int -colors 236" : "-dct int";
    ASSERT_TRUE(test::run("djpeg " + options + " -pnm -outfile " + quoted(folder / "ref.pnm") + " " + quoted(jpeg) + " 2>/dev/null"));
    const test::Pnm reference = test::readPnm(folder / "ref.pnm");

    ASSERT_EQ(bitmap.bitCount(), quantized ? 8 : 24);
    EXPECT_EQ(bitmap.rowOrder(), RowOrder::TopDown);
    if (quantized) {
        EXPECT_LE(bitmap.palette().size(), 236u);
        EXPECT_GT(bitmap.palette().size(), 16u);
        if (grey) {
            for (const PaletteEntry& entry : bitmap.palette())
                EXPECT_TRUE(entry.red == entry.green && entry.green == entry.blue);
        }
    }
    EXPECT_EQ(test::differingPixels(bitmap, reference), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegAgainstDjpeg,
    ::testing::Values(DjpegCase{"baseline420", "-quality 85", 24, 1},
                      DjpegCase{"baseline422", "-quality 85 -sample 2x1", 24, 1},
                      DjpegCase{"baseline444", "-quality 95 -sample 1x1", 24, 1},
                      DjpegCase{"progressive", "-progressive", 24, 1},
                      DjpegCase{"restartMarkers", "-restart 1 -sample 2x2", 24, 1},
                      DjpegCase{"optimizedHuffman", "-optimize -quality 60", 24, 1},
                      DjpegCase{"greyscale", "-grayscale", 24, 1},
                      DjpegCase{"truncatedBaseline", "-quality 85", 24, 0.6},
                      DjpegCase{"truncatedProgressive", "-progressive", 24, 0.5},
                      DjpegCase{"eightBitBaseline", "-quality 85", 8, 1},
                      DjpegCase{"eightBitProgressive", "-progressive", 8, 1},
                      DjpegCase{"eightBitGreyscale", "-grayscale", 4, 1}),
    [](const ::testing::TestParamInfo<DjpegCase>& info) { return std::string(info.param.name); });

std::vector<std::uint8_t> smallJpeg()
{
    // The seed of the fuzz target: 48 × 32, baseline.
    return test::readBytes(fs::path(TAVO_SOURCE_DIR) / "tests/fuzz/corpus/jpeg/baseline.jpg");
}

TEST(JpegDecoder, LoadReadsTheHeaderAndDecodeRunsOnceOnFirstRequest)
{
    const std::vector<std::uint8_t> bytes = smallJpeg();
    TJPEGImage image;
    image.loadFromMemory(bytes.data(), bytes.size());
    EXPECT_EQ(image.width(), 48);
    EXPECT_EQ(image.height(), 32);
    const Bitmap first = image.bitmap();
    EXPECT_TRUE(first.sharesPixelsWith(image.bitmap()));
    EXPECT_EQ(first.width(), 48);
    EXPECT_EQ(first.bitCount(), 24);
}

TEST(JpegDecoder, ModeIsTakenWhenTheObjectIsCreated)
{
    const std::vector<std::uint8_t> bytes = smallJpeg();
    TJPEGImage image;
    ScreenDepth depth(8);
    image.loadFromMemory(bytes.data(), bytes.size());
    EXPECT_EQ(image.bitmap().bitCount(), 24);
    EXPECT_EQ(decodeJpegMemory(bytes.data(), bytes.size()).bitCount(), 8);
}

TEST(JpegDecoder, EmptyFileLoadsAndFailsAtDecodeWithTheEmptyInputError)
{
    const fs::path path = test::scratchFolder("jpeg-empty") / "empty.jpg";
    test::writeBytes(path, {});
    TJPEGImage image;
    ASSERT_NO_THROW(image.loadFromFile(path.string()));
    EXPECT_EQ(image.width(), 0);
    try {
        image.bitmap();
        FAIL() << "an empty file decoded";
    } catch (const EJPEG& error) {
        EXPECT_EQ(error.code(), JERR_INPUT_EMPTY);
        EXPECT_EQ(std::string(error.what()), "JPEG ｴﾗｰ #" + std::to_string(JERR_INPUT_EMPTY));
    }
}

TEST(JpegDecoder, FileThatCannotBeOpenedRaisesFOpenError)
{
    const fs::path folder = test::scratchFolder("jpeg-missing");
    const std::string missing = (folder / "nothing.jpg").string();
    try {
        DecodeJpegFile(missing);
        FAIL() << "a missing file decoded";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "ﾌｧｲﾙ " + missing + " は開けません");
    }
    EXPECT_THROW(DecodeJpegFile(folder.string()), EFOpenError);
}

TEST(JpegDecoder, HeaderErrorsRaiseAtLoadWithLibjpegsCode)
{
    const std::string text = "not a picture";
    TJPEGImage image;
    try {
        image.loadFromMemory(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        FAIL() << "text passed as a JPEG header";
    } catch (const EJPEG& error) {
        EXPECT_EQ(error.code(), JERR_NO_SOI);
    }
    // Cut inside the header: the made-up end marker comes before any scan.
    std::vector<std::uint8_t> bytes = smallJpeg();
    bytes.resize(100);
    try {
        image.loadFromMemory(bytes.data(), bytes.size());
        FAIL() << "a header without a scan loaded";
    } catch (const EJPEG& error) {
        EXPECT_EQ(error.code(), JERR_NO_IMAGE);
    }
}

// Sets the frame size of a baseline file (the SOF0 marker's height and width).
void setFrameSize(std::vector<std::uint8_t>& bytes, std::uint16_t width, std::uint16_t height)
{
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
            bytes[i + 6] = static_cast<std::uint8_t>(height);
            bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
            bytes[i + 8] = static_cast<std::uint8_t>(width);
            return;
        }
    }
    FAIL() << "no SOF0 marker";
}

TEST(JpegDecoder, SizeBeyondTheBitmapLimitIsRefusedBeforeAllocating)
{
    std::vector<std::uint8_t> bytes = smallJpeg();
    setFrameSize(bytes, 65000, 65000); // 12 GB of pixels
    TJPEGImage image;
    image.loadFromMemory(bytes.data(), bytes.size());
    EXPECT_EQ(image.width(), 65000);
    EXPECT_THROW(image.bitmap(), EInvalidGraphic);
}

TEST(JpegDecoder, FileWithoutPixelDataDecodesToItsEnd)
{
    // A 640 × 480 header over the 48 × 32 file's few hundred bytes: libjpeg fills
    // the rest after the made-up end marker, and no error is raised.
    std::vector<std::uint8_t> bytes = smallJpeg();
    setFrameSize(bytes, 640, 480);
    const Bitmap bitmap = decodeJpegMemory(bytes.data(), bytes.size());
    EXPECT_EQ(bitmap.width(), 640);
    EXPECT_EQ(bitmap.height(), 480);
}

// An 8 × 8 baseline file of two components (no colour space libjpeg knows),
// with zero scan data.
std::vector<std::uint8_t> twoComponentJpeg()
{
    std::vector<std::uint8_t> bytes{0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    bytes.insert(bytes.end(), 64, 0x01);
    const std::vector<std::uint8_t> rest{
        0xFF, 0xC0, 0x00, 0x0E, 0x08, 0x00, 0x08, 0x00, 0x08, 0x02, 0x01, 0x11, 0x00, 0x02, 0x11, 0x00,
        0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xFF, 0xDA, 0x00, 0x0A, 0x02, 0x01, 0x00, 0x02, 0x00, 0x00, 0x3F, 0x00,
        0x00, 0x00, 0xFF, 0xD9};
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

TEST(JpegDecoder, ComponentsWithoutAColourSpaceFailWithTheConversionErrorInBothModes)
{
    const std::vector<std::uint8_t> bytes = twoComponentJpeg();
    for (const int screen : {24, 8}) {
        ScreenDepth depth(screen);
        TJPEGImage image;
        image.loadFromMemory(bytes.data(), bytes.size());
        EXPECT_EQ(image.width(), 8);
        try {
            image.bitmap();
            FAIL() << "a two-component file decoded at screen depth " << screen;
        } catch (const EJPEG& error) {
            EXPECT_EQ(error.code(), JERR_CONVERSION_NOTIMPL) << "screen depth " << screen;
        }
    }
}

} // namespace
} // namespace tavo
