// Photographs as cameras write them: the EXIF orientation and an embedded ICC
// profile, decoded against ImageMagick (its -auto-orient and its conversion to
// sRGB) and djpeg. The inputs are made here with cjpeg, exiftool and
// ImageMagick; the Display P3 profile with Little CMS.
#include "JpegTestSupport.h"

#include "imaging/JpegDecoder.h"
#include "platform/Errors.h"
#include "tools/make-samples/PhotoPattern.h"

#include <gtest/gtest.h>
#include <lcms2.h>
// jerror.h needs jpeglib.h, which needs cstdio first.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <array>
#include <cstring>

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::quoted;

// Odd sides (partial MCUs), and more stored rows than one band of a quarter turn.
constexpr std::int32_t kWidth = 301;
constexpr std::int32_t kHeight = 203;
const fs::path kIccFolder = "/usr/share/color/icc";

class ScreenDepth {
public:
    explicit ScreenDepth(int depth) : saved_(jpegScreenDepth()) { setJpegScreenDepth(depth); }
    ~ScreenDepth() { setJpegScreenDepth(saved_); }

private:
    int saved_;
};

bool toolsAvailable() {
    return test::commandAvailable("cjpeg") && test::commandAvailable("djpeg") &&
           test::commandAvailable("exiftool") && test::commandAvailable("convert");
}

fs::path photoJpeg(const fs::path& folder, const char* options = "-quality 90") {
    test::writePpm(folder / "photo.ppm", kWidth, kHeight, samples::photoRgb(kWidth, kHeight));
    const fs::path jpeg = folder / "photo.jpg";
    EXPECT_TRUE(test::run(std::string("cjpeg ") + options + " -outfile " + quoted(jpeg) + " " + quoted(folder / "photo.ppm")));
    return jpeg;
}

// The file with one more segment right after its start-of-image marker.
std::vector<std::uint8_t> withSegment(std::vector<std::uint8_t> jpeg, std::uint8_t marker,
                                      const std::vector<std::uint8_t>& payload) {
    const std::size_t length = payload.size() + 2;
    std::vector<std::uint8_t> segment{0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                                      static_cast<std::uint8_t>(length & 0xFF)};
    segment.insert(segment.end(), payload.begin(), payload.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

std::vector<std::uint8_t> iccSegment(int sequence, int count, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> payload{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0,
                                      static_cast<std::uint8_t>(sequence), static_cast<std::uint8_t>(count)};
    payload.insert(payload.end(), data, data + size);
    return payload;
}

// The file with a profile embedded in `pieces` APP2 segments.
std::vector<std::uint8_t> withProfile(const std::vector<std::uint8_t>& jpeg, const std::vector<std::uint8_t>& profile,
                                      int pieces = 1) {
    std::vector<std::uint8_t> result = jpeg;
    const std::size_t piece = (profile.size() + pieces - 1) / pieces;
    for (int i = pieces; i >= 1; --i) { // inserted at the front, so the last first
        const std::size_t begin = (i - 1) * piece, end = std::min(profile.size(), begin + piece);
        result = withSegment(result, 0xE2, iccSegment(i, pieces, profile.data() + begin, end - begin));
    }
    return result;
}

Bitmap decodeFile(const fs::path& path, int screenDepth = 24) {
    ScreenDepth depth(screenDepth);
    return DecodeJpegFile(path.string());
}

test::Pnm imageMagick(const fs::path& input, const std::string& operation, const fs::path& output) {
    EXPECT_TRUE(test::run("convert " + quoted(input) + " " + operation + " " + quoted(output)));
    return test::readPnm(output);
}

test::Pnm djpeg(const fs::path& input, const fs::path& output) {
    EXPECT_TRUE(test::run("djpeg -dct int -pnm -outfile " + quoted(output) + " " + quoted(input) + " 2>/dev/null"));
    return test::readPnm(output);
}

TEST(JpegOrientation, EveryValueDecodesLikeImageMagicksAutoOrient)
{
    if (!toolsAvailable())
        GTEST_SKIP() << "cjpeg, djpeg (libjpeg-turbo-progs), exiftool (libimage-exiftool-perl) and convert (imagemagick) are needed";
    const fs::path folder = test::scratchFolder("jpeg-orientation");
    const fs::path stored = photoJpeg(folder);

    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const fs::path file = folder / ("o" + std::to_string(orientation) + ".jpg");
        fs::copy_file(stored, file);
        ASSERT_TRUE(test::run("exiftool -q -overwrite_original -n -Orientation=" + std::to_string(orientation) + " " + quoted(file)));
        const bool swapped = orientation >= 5;

        TJPEGImage image;
        image.loadFromFile(file.string());
        EXPECT_EQ(image.width(), swapped ? kHeight : kWidth);
        EXPECT_EQ(image.height(), swapped ? kWidth : kHeight);
        const test::Pnm reference = imageMagick(file, "-auto-orient", folder / "ref.ppm");
        EXPECT_EQ(test::differingPixels(image.bitmap(), reference), 0);
    }
}

// EXIF data: a TIFF header in either byte order and a first directory with
// the given entries (tag, type, count, value).
std::vector<std::uint8_t> exif(bool bigEndian, const std::vector<std::array<std::uint32_t, 4>>& entries,
                               std::uint32_t directoryOffset = 8) {
    std::vector<std::uint8_t> bytes{'E', 'x', 'i', 'f', 0, 0};
    auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * (bigEndian ? size - 1 - i : i))));
    };
    bytes.insert(bytes.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M', 0, 42}
                                        : std::initializer_list<std::uint8_t>{'I', 'I', 42, 0});
    put(directoryOffset, 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
        put(e[3], 2); // a SHORT value sits at the start of the 4-byte field
        put(0, 2);
    }
    put(0, 4);
    return bytes;
}

TEST(JpegOrientation, OnlyAWellFormedTagTurnsThePicture)
{
    if (!test::commandAvailable("cjpeg"))
        GTEST_SKIP() << "cjpeg (package libjpeg-turbo-progs) is not installed";
    const fs::path folder = test::scratchFolder("jpeg-orientation-tags");
    const std::vector<std::uint8_t> plain = test::readBytes(photoJpeg(folder));
    const Bitmap stored = decodeJpegMemory(plain.data(), plain.size());

    std::vector<std::uint8_t> truncated = exif(false, {{0x0112, 3, 1, 6}});
    truncated.resize(truncated.size() - 8);
    const struct {
        const char* name;
        std::vector<std::uint8_t> payload;
        bool turned;
    } cases[] = {
        {"little-endian", exif(false, {{0x010F, 2, 4, 0}, {0x0112, 3, 1, 6}}), true},
        {"big-endian", exif(true, {{0x0112, 3, 1, 8}}), true},
        {"out of range", exif(false, {{0x0112, 3, 1, 9}}), false},
        {"zero", exif(true, {{0x0112, 3, 1, 0}}), false},
        {"wrong type", exif(false, {{0x0112, 4, 1, 6}}), false},
        {"two values", exif(false, {{0x0112, 3, 2, 6}}), false},
        {"directory beyond the data", exif(false, {{0x0112, 3, 1, 6}}, 4000), false},
        {"entry cut off", truncated, false},
        {"no TIFF header", {'E', 'x', 'i', 'f', 0, 0, 'X', 'X', 42, 0, 8, 0, 0, 0}, false},
        {"identifier only", {'E', 'x', 'i', 'f', 0, 0}, false},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> file = withSegment(plain, 0xE1, c.payload);
        const Bitmap bitmap = decodeJpegMemory(file.data(), file.size());
        EXPECT_EQ(bitmap.width(), c.turned ? kHeight : kWidth) << c.name;
        if (!c.turned) {
            ASSERT_EQ(bitmap.height(), kHeight) << c.name;
            EXPECT_EQ(std::memcmp(bitmap.bits(), stored.bits(), stored.byteSize()), 0) << c.name;
        }
    }
}

std::vector<std::uint8_t> displayP3Profile() {
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

bool profilesAvailable() {
    return fs::exists(kIccFolder / "sRGB.icc") && fs::exists(kIccFolder / "compatibleWithAdobeRGB1998.icc");
}

TEST(JpegColour, EmbeddedProfilesConvertToSrgbLikeImageMagick)
{
    if (!toolsAvailable() || !profilesAvailable())
        GTEST_SKIP() << "cjpeg, djpeg, exiftool, convert and the profiles of icc-profiles-free are needed";
    const fs::path folder = test::scratchFolder("jpeg-colour");
    const fs::path plain = photoJpeg(folder);
    const std::string toSrgb = "-profile " + quoted(kIccFolder / "sRGB.icc");

    // Adobe RGB embedded by us in three segments; Display P3 by ImageMagick.
    const fs::path adobe = folder / "adobe.jpg";
    test::writeBytes(adobe, withProfile(test::readBytes(plain), test::readBytes(kIccFolder / "compatibleWithAdobeRGB1998.icc"), 3));
    test::writeBytes(folder / "p3.icc", displayP3Profile());
    const fs::path p3 = folder / "p3.jpg";
    ASSERT_TRUE(test::run("convert " + quoted(plain) + " -profile " + quoted(folder / "p3.icc") + " " + quoted(p3)));

    for (const fs::path& file : {adobe, p3}) {
        SCOPED_TRACE(file.filename().string());
        const test::Pnm reference = imageMagick(file, toSrgb, folder / "ref.ppm");
        const test::Pnm asStored = djpeg(file, folder / "stored.ppm");
        const Bitmap bitmap = decodeFile(file);
        EXPECT_EQ(test::differingPixels(bitmap, reference, 2), 0);
        // The colours must really move: the conversion is not close to nothing.
        EXPECT_GT(test::differingPixels(bitmap, asStored, 2), kWidth * kHeight / 10);
        // The 8-bit mode converts its palette: nearer the converted colours
        // than the stored ones.
        const Bitmap eightBit = decodeFile(file, 8);
        EXPECT_LT(test::meanAbsoluteDifference(eightBit, reference), test::meanAbsoluteDifference(eightBit, asStored));
    }
}

// Turned or mirrored and converted at once, on the second thread; also with
// the file cut off in its pixel data, whose rest decodes as libjpeg fills it,
// and with a marker of an unsupported coding in its pixel data, which fails
// with libjpeg's error as a plain picture does.
TEST(JpegColour, TurnedTruncatedAndBrokenProfiledPicturesDecodeLikeImageMagick)
{
    if (!toolsAvailable() || !profilesAvailable())
        GTEST_SKIP() << "cjpeg, djpeg, exiftool, convert and the profiles of icc-profiles-free are needed";
    const fs::path folder = test::scratchFolder("jpeg-colour-turned");
    const std::vector<std::uint8_t> adobe =
        withProfile(test::readBytes(photoJpeg(folder)), test::readBytes(kIccFolder / "compatibleWithAdobeRGB1998.icc"));
    const std::string toSrgb = "-auto-orient -profile " + quoted(kIccFolder / "sRGB.icc");
    for (int orientation : {2, 6, 7}) {
        const fs::path file = folder / ("o" + std::to_string(orientation) + ".jpg");
        test::writeBytes(file, adobe);
        ASSERT_TRUE(test::run("exiftool -q -overwrite_original -n -Orientation=" + std::to_string(orientation) + " " + quoted(file)));
        std::vector<std::uint8_t> cut = test::readBytes(file);
        cut.resize(cut.size() * 3 / 5);
        const fs::path truncated = folder / ("t" + std::to_string(orientation) + ".jpg");
        test::writeBytes(truncated, cut);
        for (const fs::path& f : {file, truncated}) {
            SCOPED_TRACE(f.filename().string());
            EXPECT_EQ(test::differingPixels(decodeFile(f), imageMagick(f, toSrgb, folder / "ref.ppm"), 2), 0);
        }
        std::vector<std::uint8_t> broken = test::readBytes(file);
        const std::size_t middle = broken.size() / 2;
        broken[middle] = 0xFF;
        broken[middle + 1] = 0xC8;
        try {
            decodeJpegMemory(broken.data(), broken.size());
            ADD_FAILURE() << "a broken file decoded, orientation " << orientation;
        } catch (const EJPEG& error) {
            EXPECT_EQ(error.code(), JERR_SOF_UNSUPPORTED);
        }
    }
}

TEST(JpegColour, SrgbGreyscaleAndBrokenProfilesDecodeAsDjpegDoes)
{
    if (!toolsAvailable() || !profilesAvailable())
        GTEST_SKIP() << "cjpeg, djpeg, exiftool, convert and the profiles of icc-profiles-free are needed";
    const fs::path folder = test::scratchFolder("jpeg-colour-kept");
    const std::vector<std::uint8_t> plain = test::readBytes(photoJpeg(folder));
    const std::vector<std::uint8_t> adobe = test::readBytes(kIccFolder / "compatibleWithAdobeRGB1998.icc");
    std::vector<std::uint8_t> nonsense(700);
    for (std::size_t i = 0; i < nonsense.size(); ++i)
        nonsense[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::vector<std::uint8_t> firstHalf(adobe.begin(), adobe.begin() + adobe.size() / 2);

    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"sRGB", withProfile(plain, test::readBytes(kIccFolder / "sRGB.icc"))},
        {"truncated", withProfile(plain, firstHalf)},
        {"nonsense", withProfile(plain, nonsense)},
        {"one of two pieces", withSegment(plain, 0xE2, iccSegment(1, 2, adobe.data(), adobe.size()))},
        {"piece numbered beyond the count", withSegment(plain, 0xE2, iccSegment(2, 1, adobe.data(), adobe.size()))},
    };
    for (const auto& c : cases) {
        const fs::path file = folder / "case.jpg";
        test::writeBytes(file, c.file);
        EXPECT_EQ(test::differingPixels(decodeFile(file), djpeg(file, folder / "ref.ppm")), 0) << c.name;
    }

    const fs::path grey = folder / "grey.jpg";
    test::writeBytes(grey, withProfile(test::readBytes(photoJpeg(folder, "-grayscale")), adobe));
    ASSERT_TRUE(test::run("djpeg -dct int -colors 236 -pnm -outfile " + quoted(folder / "grey.pgm") + " " + quoted(grey)));
    EXPECT_EQ(test::differingPixels(decodeFile(grey, 8), test::readPnm(folder / "grey.pgm")), 0);
}

} // namespace
} // namespace tavo
