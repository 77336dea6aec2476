// The conversion to sRGB against colour maths done here by hand, and the
// profiles it must leave alone. The profiles are made with Little CMS.
#include "imaging/SrgbTransform.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tavo {
namespace {

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};

std::vector<std::uint8_t> saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<std::uint8_t> adobeRgbProfile() {
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    auto bytes = saved(cmsCreateRGBProfile(&kD65, &primaries, curves));
    cmsFreeToneCurve(gamma);
    return bytes;
}

// Adobe RGB (1998) to sRGB with the published matrices of both spaces (same
// white, so no adaptation), clipped, in 0..255.
std::array<double, 3> adobeToSrgb(const std::array<std::uint8_t, 3>& rgb) {
    static constexpr double toXyz[3][3] = {{0.5767309, 0.1855540, 0.1881852},
                                           {0.2973769, 0.6273491, 0.0752741},
                                           {0.0270343, 0.0706872, 0.9911085}};
    static constexpr double toSrgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                            {-0.9692660, 1.8760108, 0.0415560},
                                            {0.0556434, -0.2040259, 1.0572252}};
    double linear[3], xyz[3];
    for (int c = 0; c < 3; ++c)
        linear[c] = std::pow(rgb[c] / 255.0, 563.0 / 256.0);
    for (int r = 0; r < 3; ++r)
        xyz[r] = toXyz[r][0] * linear[0] + toXyz[r][1] * linear[1] + toXyz[r][2] * linear[2];
    std::array<double, 3> out{};
    for (int r = 0; r < 3; ++r) {
        const double v = std::clamp(toSrgb[r][0] * xyz[0] + toSrgb[r][1] * xyz[1] + toSrgb[r][2] * xyz[2], 0.0, 1.0);
        out[r] = 255.0 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
    }
    return out;
}

// Adobe RGB again, but as a table (RGB to Lab, 33 points a side) sampled from
// the matrix profile: the kind of profile the fast path does not take.
std::vector<std::uint8_t> adobeRgbTableProfile() {
    const auto matrixProfile = adobeRgbProfile();
    cmsHPROFILE adobe = cmsOpenProfileFromMem(matrixProfile.data(), static_cast<cmsUInt32Number>(matrixProfile.size()));
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(adobe, TYPE_RGB_16, lab, TYPE_LabV2_16, INTENT_RELATIVE_COLORIMETRIC,
                                             cmsFLAGS_NOOPTIMIZE);
    cmsCloseProfile(adobe);
    cmsCloseProfile(lab);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 33, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        table,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
            cmsDoTransform(static_cast<cmsHTRANSFORM>(transform), in, out, 1);
            return TRUE;
        },
        toLab, 0);
    cmsDeleteTransform(toLab);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, table);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigDisplayClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    return saved(profile);
}

struct OrderCase {
    PixelOrder order;
    int red, green, blue, alpha; // byte offsets; alpha -1 when there is none
    int size;
};

TEST(SrgbTransform, ConvertsAdobeRgbInEveryPixelOrderAndKeepsAlpha)
{
    const auto matrixProfile = adobeRgbProfile();
    const auto tableProfile = adobeRgbTableProfile();
    // The table's interpolation adds its own small error.
    const struct {
        const std::vector<std::uint8_t>* profile;
        int tolerance;
    } profiles[] = {{&matrixProfile, 2}, {&tableProfile, 3}};
    const OrderCase cases[] = {{PixelOrder::Bgr, 2, 1, 0, -1, 3},
                               {PixelOrder::Rgb, 0, 1, 2, -1, 3},
                               {PixelOrder::Bgra, 2, 1, 0, 3, 4},
                               {PixelOrder::Rgba, 0, 1, 2, 3, 4}};
    std::vector<std::array<std::uint8_t, 3>> colours;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17)
                colours.push_back({static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)});

    for (const auto& [profile, tolerance] : profiles)
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.size * 10 + c.red + 100 * tolerance);
        SrgbTransform transform(profile->data(), profile->size(), c.order);
        ASSERT_TRUE(transform.active());
        std::vector<std::uint8_t> pixels(colours.size() * c.size);
        for (std::size_t i = 0; i < colours.size(); ++i) {
            std::uint8_t* p = pixels.data() + i * c.size;
            p[c.red] = colours[i][0];
            p[c.green] = colours[i][1];
            p[c.blue] = colours[i][2];
            if (c.alpha >= 0)
                p[c.alpha] = static_cast<std::uint8_t>(i * 7);
        }
        transform.apply(pixels.data(), colours.size());
        int worst = 0;
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const std::uint8_t* p = pixels.data() + i * c.size;
            const auto expected = adobeToSrgb(colours[i]);
            const int got[3] = {p[c.red], p[c.green], p[c.blue]};
            for (int k = 0; k < 3; ++k)
                worst = std::max(worst, static_cast<int>(std::lround(std::abs(got[k] - expected[k]))));
            if (c.alpha >= 0) {
                ASSERT_EQ(p[c.alpha], static_cast<std::uint8_t>(i * 7)) << "pixel " << i;
            }
        }
        EXPECT_LE(worst, tolerance);
    }
}

TEST(SrgbTransform, StaysInactiveForProfilesThatNeedNoOrAllowNoConversion)
{
    const auto adobe = adobeRgbProfile();
    std::vector<std::uint8_t> truncated(adobe.begin(), adobe.begin() + 200);
    std::vector<std::uint8_t> nonsense(600);
    for (std::size_t i = 0; i < nonsense.size(); ++i)
        nonsense[i] = static_cast<std::uint8_t>(i * 131 + 7);
    // A valid header whose red colorant tag points far beyond the data.
    std::vector<std::uint8_t> badTags = adobe;
    const std::size_t tagCount = badTags[131];
    for (std::size_t entry = 132; entry < 132 + 12 * tagCount; entry += 12)
        if (std::equal(badTags.begin() + entry, badTags.begin() + entry + 4, "rXYZ"))
            std::fill(badTags.begin() + entry + 4, badTags.begin() + entry + 8, 0x7F);
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    const auto grey = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    const auto srgb = saved(cmsCreate_sRGBProfile());
    const auto lab = saved(cmsCreateLab4Profile(nullptr));

    const struct {
        const char* name;
        const std::vector<std::uint8_t>* bytes;
    } profiles[] = {{"truncated", &truncated}, {"nonsense", &nonsense}, {"bad tag table", &badTags},
                    {"grey", &grey},           {"sRGB", &srgb},         {"Lab", &lab}};
    for (const auto& p : profiles) {
        SrgbTransform transform(p.bytes->data(), p.bytes->size(), PixelOrder::Bgr);
        EXPECT_FALSE(transform.active()) << p.name;
        std::array<std::uint8_t, 6> pixels{10, 20, 30, 200, 100, 50};
        const auto before = pixels;
        transform.apply(pixels.data(), 2);
        EXPECT_EQ(pixels, before) << p.name;
    }
    EXPECT_FALSE(SrgbTransform(nullptr, 0, PixelOrder::Rgba).active());
    EXPECT_FALSE(SrgbTransform(adobe.data(), 0, PixelOrder::Rgba).active());
}

} // namespace
} // namespace tavo
