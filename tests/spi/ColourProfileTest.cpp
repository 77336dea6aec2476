// Pictures with an embedded ICC profile (a wide-gamut RGB one, made here with
// Little CMS) reach the host converted to sRGB: the TIFF and WebP plug-ins
// give the pixels of the same picture without the profile, converted.
#include "FormatReference.h"
#include "PluginHarness.h"
#include "imaging/SrgbTransform.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <fstream>

namespace tavo::spitest {
namespace {

Bytes wideGamutProfile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    Bytes bytes;
    if (profile != nullptr && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile != nullptr)
        cmsCloseProfile(profile);
    return bytes;
}

// The bitmap's rows as BGR pixels, top-down, without padding.
Bytes bgrPixels(const Dib& dib)
{
    Bytes out;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            const Rgb p = dib.pixel(x, y);
            out.insert(out.end(), {std::uint8_t(p.blue), std::uint8_t(p.green), std::uint8_t(p.red)});
        }
    return out;
}

// The profile moves the colours, and the plug-in moved them as the shared
// conversion does.
void expectConverted(const Dib& plain, const Dib& withProfile, const Bytes& profile)
{
    ASSERT_EQ(plain.result, SPI_ALL_RIGHT);
    ASSERT_EQ(withProfile.result, SPI_ALL_RIGHT);
    Bytes expected = bgrPixels(plain);
    const SrgbTransform toSrgb(profile.data(), profile.size(), PixelOrder::Bgr);
    ASSERT_TRUE(toSrgb.active());
    toSrgb.apply(expected.data(), expected.size() / 3);
    EXPECT_NE(expected, bgrPixels(plain));
    EXPECT_EQ(bgrPixels(withProfile), expected);
}

TEST(ColourProfile, TiffAndWebpPicturesAreConvertedToSrgb)
{
    if (const std::string tool = missingTool({"cwebp", "webpmux", "convert"}); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (packages webp, imagemagick)";
    const Bytes profile = wideGamutProfile();
    ASSERT_FALSE(profile.empty());
    const fs::path work = freshFolder("profiles");
    ASSERT_FALSE(work.empty());
    std::ofstream(work / "wide.icc", std::ios::binary).write(reinterpret_cast<const char*>(profile.data()), std::streamsize(profile.size()));

    // TIFF: the same rows written twice, the second time with the profile tag.
    Bytes rows(31 * 23 * 3);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::uint8_t(i * 37 / 5);
    for (const bool tagged : {false, true}) {
        TIFF* out = TIFFOpen((work / (tagged ? "tagged.tif" : "plain.tif")).c_str(), "w");
        ASSERT_NE(out, nullptr);
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, 31);
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, 23);
        TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        if (tagged)
            TIFFSetField(out, TIFFTAG_ICCPROFILE, std::uint32_t(profile.size()), profile.data());
        for (std::uint32_t y = 0; y < 23; ++y)
            ASSERT_EQ(TIFFWriteScanline(out, rows.data() + y * 31 * 3, y, 0), 1);
        TIFFClose(out);
    }
    PluginModule tiff("iftiff.spi");
    ASSERT_TRUE(tiff.loaded());
    expectConverted(decode(tiff, readFile(work / "plain.tif")), decode(tiff, readFile(work / "tagged.tif")), profile);

    // WebP: a lossless picture, and the same with an ICCP chunk added by webpmux.
    ASSERT_TRUE(run("convert -seed 2 -size 29x17 plasma:fractal " + shellQuoted(work / "p.png") + " && cwebp -quiet -lossless "
                    + shellQuoted(work / "p.png") + " -o " + shellQuoted(work / "plain.webp") + " && webpmux -set icc "
                    + shellQuoted(work / "wide.icc") + " " + shellQuoted(work / "plain.webp") + " -o " + shellQuoted(work / "tagged.webp")));
    PluginModule webp("ifwebp.spi");
    ASSERT_TRUE(webp.loaded());
    expectConverted(decode(webp, readFile(work / "plain.webp")), decode(webp, readFile(work / "tagged.webp")), profile);
    fs::remove_all(work);
}

} // namespace
} // namespace tavo::spitest
