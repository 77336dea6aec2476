#include "AvifDecoder.h"

#include "spi/common/BottomUpRows.h"
#include "spi/common/IsoBrands.h"
#include "imaging/SrgbTransform.h"

#include <avif/avif.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>
#include <thread>

namespace tavo::spi {
namespace {

constexpr const char* kAvifBrands[] = {"avif", "avis"};

std::int32_t fromAvif(avifResult result)
{
    switch (result) {
    case AVIF_RESULT_OK:
        return SPI_ALL_RIGHT;
    case AVIF_RESULT_INVALID_FTYP:
        return SPI_NOT_SUPPORT;
    case AVIF_RESULT_OUT_OF_MEMORY:
        return SPI_NO_MEMORY;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

struct DecoderFree {
    void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};

// Where each shown pixel comes from in the decoded picture: the clean
// aperture crops, then the rotation (anticlockwise quarter turns) and the
// mirroring apply in this order, as the container defines them.
struct Placement {
    std::uint32_t width = 0, height = 0;        // as shown
    std::int64_t origin = 0, stepX = 0, stepY = 0; // source pixel index of (0, 0), per column, per row
    bool identity = true;
};

Placement placementOf(const avifImage& image)
{
    std::uint32_t left = 0, top = 0, width = image.width, height = image.height;
    Placement p;
    if (image.transformFlags & AVIF_TRANSFORM_CLAP) {
        avifCropRect crop{};
        avifDiagnostics diag{};
        // An aperture that is not a valid crop of the picture is ignored.
        if (avifCropRectConvertCleanApertureBox(&crop, &image.clap, image.width, image.height, image.yuvFormat, &diag)
            && crop.width > 0 && crop.height > 0) {
            left = crop.x;
            top = crop.y;
            width = crop.width;
            height = crop.height;
        }
    }
    const unsigned angle = image.transformFlags & AVIF_TRANSFORM_IROT ? image.irot.angle & 3 : 0;
    const int mirror = image.transformFlags & AVIF_TRANSFORM_IMIR ? image.imir.mode & 1 : -1;
    const bool quarter = angle == 1 || angle == 3;
    p.width = quarter ? height : width;
    p.height = quarter ? width : height;
    // The source position (x, y) in the cropped picture of the shown (u, v).
    const std::int64_t w = width, h = height, ow = p.width, oh = p.height;
    auto source = [&](std::int64_t u, std::int64_t v, std::int64_t& x, std::int64_t& y) {
        if (mirror == 0)
            v = oh - 1 - v;
        else if (mirror == 1)
            u = ow - 1 - u;
        switch (angle) {
        case 0: x = u; y = v; break;
        case 1: x = w - 1 - v; y = u; break;
        case 2: x = w - 1 - u; y = h - 1 - v; break;
        default: x = v; y = h - 1 - u; break;
        }
    };
    auto index = [&](std::int64_t u, std::int64_t v) {
        std::int64_t x = 0, y = 0;
        source(u, v, x, y);
        return (top + y) * std::int64_t(image.width) + left + x;
    };
    p.origin = index(0, 0);
    p.stepX = index(1, 0) - p.origin;
    p.stepY = index(0, 1) - p.origin;
    p.identity = p.origin == 0 && p.stepX == 1 && p.stepY == std::int64_t(image.width) && p.width == image.width
        && p.height == image.height;
    return p;
}

class Reader {
public:
    std::int32_t open(const std::uint8_t* data, std::size_t size)
    {
        if (!isAvifFile(data, size))
            return SPI_NOT_SUPPORT;
        decoder_.reset(avifDecoderCreate());
        if (!decoder_)
            return SPI_NO_MEMORY;
        avifDecoder* d = decoder_.get();
        d->maxThreads = int(std::max(1u, std::thread::hardware_concurrency()));
        // A viewer shows files with small conformance faults, as browsers do.
        d->strictFlags = AVIF_STRICT_DISABLED;
        d->ignoreExif = AVIF_TRUE;
        d->ignoreXMP = AVIF_TRUE;
        // libavif's own limits (32768 pixels a side, 16384 x 16384 pixels in
        // all) are left as they are: they also bound what the AV1 decoder
        // allocates for a coded frame.
        if (std::int32_t result = fromAvif(avifDecoderSetIOMemory(d, data, size)))
            return result;
        if (std::int32_t result = fromAvif(avifDecoderParse(d)))
            return result;
        placement_ = placementOf(*d->image);
        layout_.bitCount = 24;
        return planDib(placement_.width, placement_.height, layout_);
    }

    std::int32_t decode(DibAllocator& out, const Progress& progress);

    const DibLayout& layout() const { return layout_; }

private:
    std::unique_ptr<avifDecoder, DecoderFree> decoder_;
    Placement placement_;
    DibLayout layout_;
};

std::int32_t Reader::decode(DibAllocator& out, const Progress& progress)
{
    const std::int32_t height = layout_.height;
    if (progress.report(0, height))
        return SPI_ABORT;
    avifDecoder* d = decoder_.get();
    if (std::int32_t result = fromAvif(avifDecoderNextImage(d)))
        return result;
    const avifImage& image = *d->image;
    // The decoded frame must be the size the header announced.
    if (placementOf(image).width != placement_.width || placementOf(image).height != placement_.height)
        return SPI_OUT_OF_ORDER;
    const bool alpha = image.alphaPlane != nullptr;

    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout_.infoBytes()));
    auto* pixels = static_cast<std::uint8_t*>(out.allocateBits(layout_.imageBytes));
    if (info == nullptr || pixels == nullptr)
        return SPI_NO_MEMORY;
    writeInfoHeader(layout_, info);

    // An embedded ICC profile; the colour description by numbers ('nclx') is
    // taken as sRGB.
    const SrgbTransform toSrgb(image.icc.data, image.icc.size, alpha ? PixelOrder::Bgra : PixelOrder::Bgr);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &image);
    rgb.depth = 8;
    rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
    if (!alpha && placement_.identity) {
        // The common case: converted straight into the bitmap block, top-down
        // with the bitmap's stride, then turned bottom-up in place.
        rgb.pixels = pixels;
        rgb.rowBytes = std::uint32_t(layout_.stride);
        if (std::int32_t result = fromAvif(avifImageYUVToRGB(&image, &rgb)))
            return result;
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* row = pixels + std::size_t(y) * layout_.stride;
            toSrgb.apply(row, std::size_t(layout_.width));
            std::fill(row + 3 * std::size_t(layout_.width), row + layout_.stride, std::uint8_t(0));
        }
        if (!flipRowsInPlace(pixels, layout_, false, progress))
            return SPI_ABORT;
    } else {
        const unsigned channels = alpha ? 4 : 3;
        const std::size_t bytes = std::size_t(image.width) * image.height * channels;
        if (bytes > kMaxImageBytes * 2)
            return SPI_NO_MEMORY;
        std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[bytes]);
        if (!buffer)
            return SPI_NO_MEMORY;
        rgb.pixels = buffer.get();
        rgb.rowBytes = image.width * channels;
        if (std::int32_t result = fromAvif(avifImageYUVToRGB(&image, &rgb)))
            return result;
        // Converted before alpha is composed, so the background stays as it is.
        toSrgb.apply(buffer.get(), std::size_t(image.width) * image.height);
        const SampleOrder order = alpha ? SampleOrder::Bgra : SampleOrder::Bgr;
        const Placement& p = placement_;
        std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[std::size_t(p.width) * channels]);
        if (!row)
            return SPI_NO_MEMORY;
        const BottomUpRows rows(layout_, pixels, progress);
        for (std::int32_t v = 0; v < height; ++v) {
            // Gathers the shown row, then converts it.
            std::int64_t at = p.origin + p.stepY * v;
            for (std::uint32_t u = 0; u < p.width; ++u, at += p.stepX)
                std::copy_n(buffer.get() + at * channels, channels, row.get() + std::size_t(u) * channels);
            if (!rows.put(v, row.get(), order))
                return SPI_ABORT;
        }
    }
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool isAvifFile(const std::uint8_t* data, std::size_t size)
{
    return hasIsoBrand(data, size, kAvifBrands, std::size(kAvifBrands));
}

std::int32_t readAvifInfo(const std::uint8_t* data, std::size_t size, AvifPictureInfo& info)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size))
        return result;
    info.width = reader.layout().width;
    info.height = reader.layout().height;
    info.bitCount = 24;
    return SPI_ALL_RIGHT;
}

std::int32_t decodeAvif(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size))
        return result;
    return reader.decode(out, progress);
}

} // namespace tavo::spi
