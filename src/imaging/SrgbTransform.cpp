#include "imaging/SrgbTransform.h"

#include <lcms2.h>

#include <array>
#include <cstdlib>
#include <vector>

namespace tavo {

namespace {

// Little CMS reports through the context's handler; a broken profile is
// expected input here, so its complaints go nowhere.
void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

cmsUInt32Number lcmsFormat(PixelOrder order) {
    switch (order) {
    case PixelOrder::Bgr: return TYPE_BGR_8;
    case PixelOrder::Rgb: return TYPE_RGB_8;
    case PixelOrder::Bgra: return TYPE_BGRA_8;
    case PixelOrder::Rgba: return TYPE_RGBA_8;
    }
    return TYPE_RGB_8;
}

struct Layout {
    std::size_t red, green, blue, size;
};

Layout layoutOf(PixelOrder order) {
    switch (order) {
    case PixelOrder::Bgr: return {2, 1, 0, 3};
    case PixelOrder::Rgb: return {0, 1, 2, 3};
    case PixelOrder::Bgra: return {2, 1, 0, 4};
    case PixelOrder::Rgba: return {0, 1, 2, 4};
    }
    return {0, 1, 2, 3};
}

// Colours that show a profile's primaries and tone curves: a coarse cube that
// is denser in the shadows, where tone curves differ most, and the grey ramp.
std::vector<std::array<std::uint8_t, 3>> probeColours() {
    static constexpr std::array<std::uint8_t, 12> levels{0, 2, 5, 10, 20, 40, 70, 100, 140, 180, 220, 255};
    std::vector<std::array<std::uint8_t, 3>> colours;
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

bool movesAnyColour(cmsHTRANSFORM transform, PixelOrder order) {
    const Layout layout = layoutOf(order);
    const auto colours = probeColours();
    std::vector<std::uint8_t> pixels(colours.size() * layout.size, 0);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        std::uint8_t* pixel = pixels.data() + i * layout.size;
        pixel[layout.red] = colours[i][0];
        pixel[layout.green] = colours[i][1];
        pixel[layout.blue] = colours[i][2];
    }
    cmsDoTransform(transform, pixels.data(), pixels.data(), static_cast<cmsUInt32Number>(colours.size()));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::uint8_t* pixel = pixels.data() + i * layout.size;
        if (std::abs(pixel[layout.red] - colours[i][0]) > 1 || std::abs(pixel[layout.green] - colours[i][1]) > 1 ||
            std::abs(pixel[layout.blue] - colours[i][2]) > 1)
            return true;
    }
    return false;
}

} // namespace

SrgbTransform::SrgbTransform(const void* profile, std::size_t size, PixelOrder order) {
    // ICC profiles state their size in a 32-bit field; anything shorter than
    // the 128-byte header cannot be one.
    if (profile == nullptr || size < 128 || size > 0xFFFFFFFFu)
        return;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (context == nullptr)
        return;
    cmsSetLogErrorHandlerTHR(context, silentErrorHandler);

    cmsHTRANSFORM transform = nullptr;
    cmsHPROFILE source = cmsOpenProfileFromMemTHR(context, profile, static_cast<cmsUInt32Number>(size));
    if (source != nullptr && cmsGetColorSpace(source) == cmsSigRgbData) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
        if (srgb != nullptr) {
            const cmsUInt32Number format = lcmsFormat(order);
            transform = cmsCreateTransformTHR(context, source, format, srgb, format, INTENT_PERCEPTUAL,
                                              cmsFLAGS_COPY_ALPHA);
            cmsCloseProfile(srgb);
        }
    }
    if (source != nullptr)
        cmsCloseProfile(source);

    if (transform != nullptr && !movesAnyColour(transform, order)) {
        cmsDeleteTransform(transform);
        transform = nullptr;
    }
    if (transform == nullptr) {
        cmsDeleteContext(context);
        return;
    }
    context_ = context;
    transform_ = transform;
    pixelSize_ = layoutOf(order).size;
}

SrgbTransform::~SrgbTransform() {
    if (transform_ != nullptr)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
    if (context_ != nullptr)
        cmsDeleteContext(static_cast<cmsContext>(context_));
}

bool SrgbTransform::active() const {
    return transform_ != nullptr;
}

void SrgbTransform::apply(std::uint8_t* pixels, std::size_t count) const {
    if (transform_ == nullptr)
        return;
    // cmsDoTransform counts pixels in 32 bits.
    constexpr std::size_t kChunk = 1u << 24;
    while (count > 0) {
        const std::size_t n = count < kChunk ? count : kChunk;
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), pixels, pixels, static_cast<cmsUInt32Number>(n));
        pixels += n * pixelSize_;
        count -= n;
    }
}

} // namespace tavo
