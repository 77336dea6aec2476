// Four-component files: CMYK and YCCK come out as BGR in the picture's
// colours, whether the inks are stored plainly or inverted as Adobe's marker
// says. The files are written here through libjpeg's compressor.
#include "JpegTestSupport.h"

#include "imaging/JpegDecoder.h"
#include "tools/make-samples/PhotoPattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <jpeglib.h>

namespace tavo {
namespace {

constexpr std::int32_t kWidth = 160;
constexpr std::int32_t kHeight = 120;

enum class Inks { Plain, AdobeInverted, AdobeYcck };

// The photo as CMYK inks (0 no ink), through libjpeg into a memory block.
std::vector<std::uint8_t> cmykJpeg(const std::vector<std::uint8_t>& rgb, Inks inks)
{
    std::vector<JSAMPLE> cmyk(static_cast<std::size_t>(kWidth) * kHeight * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(kWidth) * kHeight; ++i) {
        const int r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        const int max = std::max({r, g, b});
        int ink[4] = {0, 0, 0, 255 - max};
        if (max > 0) {
            ink[0] = (max - r) * 255 / max;
            ink[1] = (max - g) * 255 / max;
            ink[2] = (max - b) * 255 / max;
        }
        for (int c = 0; c < 4; ++c)
            cmyk[4 * i + c] = static_cast<JSAMPLE>(inks == Inks::Plain ? ink[c] : 255 - ink[c]);
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_set_colorspace(&cinfo, inks == Inks::AdobeYcck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = inks != Inks::Plain;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &cmyk[static_cast<std::size_t>(cinfo.next_scanline) * kWidth * 4];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

TEST(JpegCmyk, PlainAdobeAndYcckFilesDecodeToThePicturesColours)
{
    const std::vector<std::uint8_t> rgb = samples::photoRgb(kWidth, kHeight);
    test::Pnm original{kWidth, kHeight, 3, rgb};
    for (Inks inks : {Inks::Plain, Inks::AdobeInverted, Inks::AdobeYcck}) {
        SCOPED_TRACE(static_cast<int>(inks));
        const std::vector<std::uint8_t> bytes = cmykJpeg(rgb, inks);
        const Bitmap bitmap = decodeJpegMemory(bytes.data(), bytes.size());
        ASSERT_EQ(bitmap.bitCount(), 24);
        // Quality 95 plus the colour round trip: a few levels at most on average;
        // reading the inks the wrong way round gives a negative, off by ~100.
        EXPECT_LT(test::meanAbsoluteDifference(bitmap, original), 4.0);
    }
}

TEST(JpegCmyk, StaysTwentyFourBitsInTheEightBitMode)
{
    // libjpeg's quantiser has no four-component path; such files keep 24 bits.
    const int saved = jpegScreenDepth();
    setJpegScreenDepth(8);
    const std::vector<std::uint8_t> bytes = cmykJpeg(samples::photoRgb(kWidth, kHeight), Inks::AdobeInverted);
    const Bitmap bitmap = decodeJpegMemory(bytes.data(), bytes.size());
    setJpegScreenDepth(saved);
    EXPECT_EQ(bitmap.bitCount(), 24);
}

} // namespace
} // namespace tavo
