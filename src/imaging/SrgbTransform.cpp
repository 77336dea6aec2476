#include "imaging/SrgbTransform.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace tavo {

namespace {

// Little CMS reports through the context's handler; a broken profile is
// expected input here, so its complaints go nowhere.
void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

struct Layout {
    std::size_t red, green, blue, size;
};

constexpr Layout layoutOf(PixelOrder order) {
    switch (order) {
    case PixelOrder::Bgr: return {2, 1, 0, 3};
    case PixelOrder::Rgb: return {0, 1, 2, 3};
    case PixelOrder::Bgra: return {2, 1, 0, 4};
    case PixelOrder::Rgba: return {0, 1, 2, 4};
    }
    return {0, 1, 2, 3};
}

cmsUInt32Number lcmsFormat(PixelOrder order) {
    switch (order) {
    case PixelOrder::Bgr: return TYPE_BGR_8;
    case PixelOrder::Rgb: return TYPE_RGB_8;
    case PixelOrder::Bgra: return TYPE_BGRA_8;
    case PixelOrder::Rgba: return TYPE_RGBA_8;
    }
    return TYPE_RGB_8;
}

using Colour = std::array<std::uint8_t, 3>;

// Colours that show a profile's primaries and tone curves: a coarse cube that
// is denser in the shadows, where tone curves differ most, and the grey ramp.
std::vector<Colour> probeColours() {
    static constexpr std::array<std::uint8_t, 12> levels{0, 2, 5, 10, 20, 40, 70, 100, 140, 180, 220, 255};
    std::vector<Colour> colours;
    colours.reserve(levels.size() * levels.size() * levels.size() + 256);
    for (std::uint8_t r : levels)
        for (std::uint8_t g : levels)
            for (std::uint8_t b : levels)
                colours.push_back({r, g, b});
    for (int v = 0; v < 256; ++v) {
        const auto grey = static_cast<std::uint8_t>(v);
        colours.push_back({grey, grey, grey});
    }
    return colours;
}

std::vector<std::uint8_t> packed(const std::vector<Colour>& colours, Layout layout) {
    std::vector<std::uint8_t> pixels(colours.size() * layout.size, 0);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        std::uint8_t* pixel = pixels.data() + i * layout.size;
        pixel[layout.red] = colours[i][0];
        pixel[layout.green] = colours[i][1];
        pixel[layout.blue] = colours[i][2];
    }
    return pixels;
}

Colour unpacked(const std::uint8_t* pixel, Layout layout) {
    return {pixel[layout.red], pixel[layout.green], pixel[layout.blue]};
}

} // namespace

// Most embedded profiles (Adobe RGB, Display P3, camera profiles) are a tone
// curve per channel and a matrix. Their conversion to sRGB is then, per pixel,
// the sum of three table rows (each input level's linear light already
// multiplied by its matrix column, in fixed point, four lanes wide) and one
// look-up of the sRGB encoding per channel, in a table that spans every sum
// the rows can give, so that nothing needs clamping: several times faster than
// Little CMS's general 8-bit path. It is built from the profile's own tags and
// used only when it agrees with Little CMS's exact conversion on the probe
// colours.
class SrgbTransform::MatrixShaper {
public:
    static std::unique_ptr<MatrixShaper> fromProfile(cmsHPROFILE source, cmsHPROFILE srgb);

    template <Layout L>
    void apply(std::uint8_t* pixels, std::size_t count) const {
        const std::uint8_t* encode = encode_.data();
        for (std::size_t i = 0; i < count; ++i, pixels += L.size) {
            const Lanes sum = (contribution_[0][pixels[L.red]] + contribution_[1][pixels[L.green]] +
                               contribution_[2][pixels[L.blue]]) >> kFractionBits;
            pixels[L.red] = encode[sum[0]];
            pixels[L.green] = encode[sum[1]];
            pixels[L.blue] = encode[sum[2]];
        }
    }

private:
    // Steps of the linear light level from 0 to 1 in the encoding: fine
    // enough that the steepest part of the sRGB curve moves less than a
    // quarter of an output step.
    static constexpr int kEncodeSteps = 16384;
    // Fixed-point fraction bits below one encoding step.
    static constexpr int kFractionBits = 6;
    static constexpr std::int32_t kOne = (kEncodeSteps - 1) << kFractionBits;
    // A matrix that spreads the sums wider than this many times 0 to 1 is no
    // real profile's; Little CMS takes it.
    static constexpr std::int64_t kMaxSpan = 16;

    // Unsigned: every sum is at least 0, and its lanes then index the
    // encoding without a sign extension.
    typedef std::uint32_t Lanes __attribute__((vector_size(16)));

    // The sRGB encoding of 0 to 1 in kEncodeSteps steps: made once.
    static const std::vector<std::uint8_t>& srgbEncoding();

    alignas(16) Lanes contribution_[3][256]{};
    std::vector<std::uint8_t> encode_;
};

namespace {

bool readColorants(cmsHPROFILE profile, double matrix[3][3]) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int column = 0; column < 3; ++column) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[column]));
        if (xyz == nullptr)
            return false;
        matrix[0][column] = xyz->X;
        matrix[1][column] = xyz->Y;
        matrix[2][column] = xyz->Z;
    }
    return true;
}

bool invert(const double m[3][3], double inverse[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!std::isfinite(det) || std::abs(det) < 1e-9)
        return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            // Cofactor of the transposed position.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return true;
}

double srgbEncode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

} // namespace

std::unique_ptr<SrgbTransform::MatrixShaper> SrgbTransform::MatrixShaper::fromProfile(cmsHPROFILE source,
                                                                                      cmsHPROFILE srgb) {
    // A profile with a table for the perceptual intent is converted through
    // that table, not through its matrix.
    if (!cmsIsMatrixShaper(source) || cmsIsCLUT(source, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT))
        return nullptr;
    double toXyz[3][3], fromSrgb[3][3], toSrgb[3][3];
    if (!readColorants(source, toXyz) || !readColorants(srgb, fromSrgb) || !invert(fromSrgb, toSrgb))
        return nullptr;
    double matrix[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            matrix[r][c] = toSrgb[r][0] * toXyz[0][c] + toSrgb[r][1] * toXyz[1][c] + toSrgb[r][2] * toXyz[2][c];
    auto shaper = std::make_unique<MatrixShaper>();
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    std::int64_t lowest[3] = {0, 0, 0}, highest[3] = {0, 0, 0};
    for (int channel = 0; channel < 3; ++channel) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(source, curves[channel]));
        if (curve == nullptr)
            return nullptr;
        std::int32_t low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
        for (int v = 0; v < 256; ++v) {
            const double linear = cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0));
            for (int out = 0; out < 3; ++out) {
                const double share = matrix[out][channel] * linear;
                if (!std::isfinite(share) || std::abs(share) > kMaxSpan)
                    return nullptr;
                const auto value = static_cast<std::int32_t>(std::lround(share * kOne));
                shaper->contribution_[channel][v][out] = value;
                low[out] = std::min(low[out], value);
                high[out] = std::max(high[out], value);
            }
        }
        for (int out = 0; out < 3; ++out) {
            lowest[out] += low[out];
            highest[out] += high[out];
        }
    }
    // Sums run from low to high; the red rows carry the offset that makes
    // the lowest sum index 0, and half a step for rounding.
    const std::int64_t low = *std::min_element(lowest, lowest + 3);
    const std::int64_t high = *std::max_element(highest, highest + 3);
    if (high - low > kMaxSpan * kOne)
        return nullptr;
    const auto offset = static_cast<std::int32_t>(-low + (1 << (kFractionBits - 1)));
    for (Lanes& row : shaper->contribution_[0])
        row += offset;
    const std::vector<std::uint8_t>& srgb01 = srgbEncoding();
    shaper->encode_.resize(static_cast<std::size_t>((high - low + (1 << (kFractionBits - 1))) >> kFractionBits) + 1);
    for (std::size_t i = 0; i < shaper->encode_.size(); ++i) {
        const std::int64_t step = (static_cast<std::int64_t>(i) * (1 << kFractionBits) + low) >> kFractionBits;
        shaper->encode_[i] = srgb01[static_cast<std::size_t>(std::clamp<std::int64_t>(step, 0, kEncodeSteps - 1))];
    }
    return shaper;
}

const std::vector<std::uint8_t>& SrgbTransform::MatrixShaper::srgbEncoding() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> values(kEncodeSteps);
        for (int i = 0; i < kEncodeSteps; ++i)
            values[i] = static_cast<std::uint8_t>(std::lround(255 * srgbEncode(i / double(kEncodeSteps - 1))));
        return values;
    }();
    return table;
}

namespace {

// True when the fast path is within one step of Little CMS's exact result
// for every probe colour.
bool agreesWithExactConversion(cmsContext context, cmsHPROFILE source, cmsHPROFILE srgb,
                               const std::vector<Colour>& colours, const std::vector<Colour>& converted) {
    cmsHTRANSFORM exact = cmsCreateTransformTHR(context, source, TYPE_RGB_FLT, srgb, TYPE_RGB_FLT, INTENT_PERCEPTUAL,
                                                cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    if (exact == nullptr)
        return false;
    std::vector<float> values(colours.size() * 3);
    for (std::size_t i = 0; i < colours.size(); ++i)
        for (int c = 0; c < 3; ++c)
            values[i * 3 + c] = colours[i][c] / 255.0f;
    cmsDoTransform(exact, values.data(), values.data(), static_cast<cmsUInt32Number>(colours.size()));
    cmsDeleteTransform(exact);
    for (std::size_t i = 0; i < colours.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const float expected = 255.0f * std::min(std::max(values[i * 3 + c], 0.0f), 1.0f);
            if (std::abs(converted[i][c] - expected) > 1.0f)
                return false;
        }
    return true;
}

// Colours of the probe converted by Little CMS's 8-bit transform (the one
// apply() then uses), in pixel order.
std::vector<Colour> convertedByLcms(cmsHTRANSFORM transform, const std::vector<Colour>& colours, Layout layout) {
    std::vector<std::uint8_t> pixels = packed(colours, layout);
    cmsDoTransform(transform, pixels.data(), pixels.data(), static_cast<cmsUInt32Number>(colours.size()));
    std::vector<Colour> converted(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        converted[i] = unpacked(pixels.data() + i * layout.size, layout);
    return converted;
}

bool movesAnyColour(const std::vector<Colour>& colours, const std::vector<Colour>& converted) {
    for (std::size_t i = 0; i < colours.size(); ++i)
        for (int c = 0; c < 3; ++c)
            if (std::abs(converted[i][c] - colours[i][c]) > 1)
                return true;
    return false;
}

} // namespace

SrgbTransform::SrgbTransform(const void* profile, std::size_t size, PixelOrder order) : order_(order) {
    // ICC profiles state their size in a 32-bit field; anything shorter than
    // the 128-byte header cannot be one.
    if (profile == nullptr || size < 128 || size > 0xFFFFFFFFu)
        return;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (context == nullptr)
        return;
    cmsSetLogErrorHandlerTHR(context, silentErrorHandler);
    cmsHPROFILE source = cmsOpenProfileFromMemTHR(context, profile, static_cast<cmsUInt32Number>(size));
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
    if (source != nullptr && srgb != nullptr && cmsGetColorSpace(source) == cmsSigRgbData) {
        const std::vector<Colour> colours = probeColours();
        // Decided by the fast path when it agrees with the exact conversion:
        // kept when it moves colours, dropped (sRGB or equivalent) otherwise.
        bool decided = false;
        if (std::unique_ptr<MatrixShaper> shaper = MatrixShaper::fromProfile(source, srgb)) {
            std::vector<std::uint8_t> pixels = packed(colours, layoutOf(PixelOrder::Rgb));
            shaper->apply<layoutOf(PixelOrder::Rgb)>(pixels.data(), colours.size());
            std::vector<Colour> converted(colours.size());
            for (std::size_t i = 0; i < colours.size(); ++i)
                converted[i] = unpacked(pixels.data() + i * 3, layoutOf(PixelOrder::Rgb));
            decided = agreesWithExactConversion(context, source, srgb, colours, converted);
            if (decided && movesAnyColour(colours, converted))
                shaper_ = std::move(shaper);
        }
        if (!decided) {
            // The finer precalculated table keeps saturated colours, clipped
            // at the edge of sRGB, within a few steps of the exact result.
            const cmsUInt32Number format = lcmsFormat(order);
            cmsHTRANSFORM transform = cmsCreateTransformTHR(context, source, format, srgb, format,
                                                            INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA | cmsFLAGS_HIGHRESPRECALC);
            if (transform != nullptr && movesAnyColour(colours, convertedByLcms(transform, colours, layoutOf(order))))
                transform_ = transform;
            else if (transform != nullptr)
                cmsDeleteTransform(transform);
        }
    }
    if (source != nullptr)
        cmsCloseProfile(source);
    if (srgb != nullptr)
        cmsCloseProfile(srgb);
    if (transform_ != nullptr)
        context_ = context;
    else
        cmsDeleteContext(context);
}

SrgbTransform::~SrgbTransform() {
    if (transform_ != nullptr)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
    if (context_ != nullptr)
        cmsDeleteContext(static_cast<cmsContext>(context_));
}

bool SrgbTransform::active() const {
    return shaper_ != nullptr || transform_ != nullptr;
}

void SrgbTransform::apply(std::uint8_t* pixels, std::size_t count) const {
    if (shaper_) {
        switch (order_) {
        case PixelOrder::Bgr: return shaper_->apply<layoutOf(PixelOrder::Bgr)>(pixels, count);
        case PixelOrder::Rgb: return shaper_->apply<layoutOf(PixelOrder::Rgb)>(pixels, count);
        case PixelOrder::Bgra: return shaper_->apply<layoutOf(PixelOrder::Bgra)>(pixels, count);
        case PixelOrder::Rgba: return shaper_->apply<layoutOf(PixelOrder::Rgba)>(pixels, count);
        }
        return;
    }
    if (transform_ == nullptr)
        return;
    // cmsDoTransform counts pixels in 32 bits.
    constexpr std::size_t kChunk = std::size_t{1} << 24;
    const std::size_t pixelSize = layoutOf(order_).size;
    while (count > 0) {
        const std::size_t n = std::min(count, kChunk);
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), pixels, pixels, static_cast<cmsUInt32Number>(n));
        pixels += n * pixelSize;
        count -= n;
    }
}

} // namespace tavo
