#include "HeifDecoder.h"

#include "spi/common/BottomUpRows.h"
#include "spi/common/IsoBrands.h"
#include "imaging/SrgbTransform.h"

#include <libheif/heif.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace tavo::spi {
namespace {

constexpr const char* kHevcBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx"};
constexpr const char* kGenericBrands[] = {"mif1", "msf1"};
constexpr const char* kAvifBrands[] = {"avif", "avis"};

std::int32_t fromHeif(const heif_error& error)
{
    switch (error.code) {
    case heif_error_Ok:
        return SPI_ALL_RIGHT;
    case heif_error_Memory_allocation_error:
        return SPI_NO_MEMORY;
    case heif_error_Unsupported_filetype:
        return SPI_NOT_SUPPORT;
    case heif_error_Usage_error:
        return SPI_OTHER_ERROR;
    default:
        // Broken boxes, unsupported codecs or features, security limits.
        return error.subcode == heif_suberror_Security_limit_exceeded ? SPI_NO_MEMORY : SPI_OUT_OF_ORDER;
    }
}

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageFree {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

class Reader {
public:
    std::int32_t open(const std::uint8_t* data, std::size_t size)
    {
        if (!isHeifFile(data, size))
            return SPI_NOT_SUPPORT;
        context_.reset(heif_context_alloc());
        if (!context_)
            return SPI_NO_MEMORY;
        // libheif's own limit (32768 pixels a side) is left as it is: it also
        // bounds the size a coded picture claims, which a raised limit would
        // let a small hostile file turn into gigabytes.
        if (std::int32_t result = fromHeif(heif_context_read_from_memory_without_copy(context_.get(), data, size, nullptr)))
            return result;
        heif_image_handle* handle = nullptr;
        if (std::int32_t result = fromHeif(heif_context_get_primary_image_handle(context_.get(), &handle)))
            return result;
        handle_.reset(handle);
        const int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
        if (width <= 0 || height <= 0)
            return SPI_OUT_OF_ORDER;
        // Without the coded picture's configuration libheif cannot tell its
        // sample depth, nor decode it; heif-convert refuses such a file at
        // once, where decoding it could first take seconds and gigabytes.
        if (heif_image_handle_get_luma_bits_per_pixel(handle) < 0)
            return SPI_OUT_OF_ORDER;
        layout_.bitCount = 24;
        return planDib(std::uint32_t(width), std::uint32_t(height), layout_);
    }

    // An embedded ICC profile ('prof' or 'rICC'); a colour description by
    // numbers ('nclx') is taken as sRGB.
    void readProfile()
    {
        const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle_.get());
        if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
            return;
        profile_.resize(heif_image_handle_get_raw_color_profile_size(handle_.get()));
        if (profile_.empty() || heif_image_handle_get_raw_color_profile(handle_.get(), profile_.data()).code != heif_error_Ok)
            profile_.clear();
    }

    std::int32_t decode(DibAllocator& out, const Progress& progress);

    const DibLayout& layout() const { return layout_; }

private:
    std::int32_t decodeImage(heif_colorspace colorspace, heif_chroma chroma,
                             std::unique_ptr<heif_image, ImageFree>& image) const
    {
        heif_image* decoded = nullptr;
        const std::int32_t result = fromHeif(heif_decode_image(handle_.get(), &decoded, colorspace, chroma, nullptr));
        image.reset(decoded);
        return result;
    }

    std::unique_ptr<heif_context, ContextFree> context_;
    std::unique_ptr<heif_image_handle, HandleFree> handle_;
    DibLayout layout_;
    std::vector<std::uint8_t> profile_;
};

// One channel of the decoded picture as rows of 8-bit samples: the plane's
// own rows when it holds 8 bits, else each row rounded to 8 bits in a buffer.
class ChannelRows {
public:
    // False when the channel is missing, smaller than the picture or of a
    // sample depth that is neither 8 bits nor 9 to 16 bits in 16.
    bool open(const heif_image* image, heif_channel channel, int width, int height)
    {
        if (!heif_image_has_channel(image, channel) || heif_image_get_width(image, channel) < width
            || heif_image_get_height(image, channel) < height)
            return false;
        int stride = 0;
        plane_ = heif_image_get_plane_readonly(image, channel, &stride);
        stride_ = std::size_t(stride);
        width_ = std::size_t(width);
        const int storage = heif_image_get_bits_per_pixel(image, channel);
        bits_ = unsigned(heif_image_get_bits_per_pixel_range(image, channel));
        if (storage == 8)
            bits_ = 8;
        else if (storage != 16 || bits_ <= 8 || bits_ > 16)
            return false;
        if (plane_ == nullptr || stride <= 0 || stride_ < width_ * (bits_ == 8 ? 1 : 2))
            return false;
        if (bits_ != 8)
            reduced_.reset(new (std::nothrow) std::uint8_t[width_]);
        return bits_ == 8 || reduced_ != nullptr;
    }

    const std::uint8_t* row(int y)
    {
        const std::uint8_t* samples = plane_ + std::size_t(y) * stride_;
        if (bits_ == 8)
            return samples;
        reduceTo8(reinterpret_cast<const std::uint16_t*>(samples), bits_, width_, reduced_.get());
        return reduced_.get();
    }

private:
    const std::uint8_t* plane_ = nullptr;
    std::size_t stride_ = 0, width_ = 0;
    unsigned bits_ = 8;
    std::unique_ptr<std::uint8_t[]> reduced_;
};

std::int32_t Reader::decode(DibAllocator& out, const Progress& progress)
{
    if (progress.report(0, layout_.height))
        return SPI_ABORT;
    readProfile();
    // The picture as libheif's decoding leaves it, without a conversion of
    // its own: libheif 1.15 turns coded YCbCr into planes of red, green and
    // blue (or leaves a grey plane), which are interleaved here straight into
    // the bitmap's rows. Asking for interleaved RGB would cost libheif one
    // more pass over the whole picture and one more copy of it.
    std::unique_ptr<heif_image, ImageFree> image;
    if (std::int32_t result = decodeImage(heif_colorspace_undefined, heif_chroma_undefined, image))
        return result;
    // Later libheif versions hand out the coded YCbCr planes: those are
    // converted by libheif.
    if (heif_image_has_channel(image.get(), heif_channel_Cb))
        if (std::int32_t result = decodeImage(heif_colorspace_RGB, heif_chroma_444, image))
            return result;
    const heif_image* decoded = image.get();
    const bool grey = !heif_image_has_channel(decoded, heif_channel_R);
    // The decoded picture has the transformations applied: a rotation by a
    // quarter turn or a clean aperture may have changed its size.
    const heif_channel first = grey ? heif_channel_Y : heif_channel_R;
    const int width = heif_image_get_width(decoded, first), height = heif_image_get_height(decoded, first);
    if (width <= 0 || height <= 0)
        return SPI_OUT_OF_ORDER;
    DibLayout layout;
    if (std::int32_t result = planDib(std::uint32_t(width), std::uint32_t(height), layout))
        return result;
    ChannelRows red, green, blue, opacity;
    if (grey ? !red.open(decoded, heif_channel_Y, width, height)
             : !red.open(decoded, heif_channel_R, width, height) || !green.open(decoded, heif_channel_G, width, height)
                   || !blue.open(decoded, heif_channel_B, width, height))
        return SPI_OUT_OF_ORDER;
    // An alpha plane smaller than the picture cannot be placed on it: the
    // picture is then shown opaque.
    const bool alpha = opacity.open(decoded, heif_channel_Alpha, width, height);
    const SrgbTransform toSrgb(profile_.data(), profile_.size(), alpha ? PixelOrder::Bgra : PixelOrder::Bgr);

    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout.infoBytes()));
    auto* pixels = static_cast<std::uint8_t*>(out.allocateBits(layout.imageBytes));
    std::unique_ptr<std::uint8_t[]> bgra(alpha ? new (std::nothrow) std::uint8_t[4 * std::size_t(width)] : nullptr);
    if (info == nullptr || pixels == nullptr || (alpha && !bgra))
        return SPI_NO_MEMORY;
    writeInfoHeader(layout, info);
    const BottomUpRows rows(layout, pixels, progress);
    const std::size_t count = std::size_t(width);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* r = red.row(y);
        const std::uint8_t* g = grey ? r : green.row(y);
        const std::uint8_t* b = grey ? r : blue.row(y);
        if (alpha) {
            const std::uint8_t* a = opacity.row(y);
            std::uint8_t* dst = bgra.get();
            for (std::size_t x = 0; x < count; ++x, dst += 4) {
                dst[0] = b[x];
                dst[1] = g[x];
                dst[2] = r[x];
                dst[3] = a[x];
            }
            // Converted before alpha is composed, so the background stays as it is.
            toSrgb.apply(bgra.get(), count);
            if (!rows.put(y, bgra.get(), SampleOrder::Bgra))
                return SPI_ABORT;
            continue;
        }
        std::uint8_t* dst = rows.at(y);
        for (std::size_t x = 0; x < count; ++x, dst += 3) {
            dst[0] = b[x];
            dst[1] = g[x];
            dst[2] = r[x];
        }
        toSrgb.apply(rows.at(y), count);
        if (!rows.done(y))
            return SPI_ABORT;
    }
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool isHeifFile(const std::uint8_t* data, std::size_t size)
{
    if (hasIsoBrand(data, size, kHevcBrands, std::size(kHevcBrands)))
        return true;
    return hasIsoBrand(data, size, kGenericBrands, std::size(kGenericBrands))
        && !hasIsoBrand(data, size, kAvifBrands, std::size(kAvifBrands));
}

std::int32_t readHeifInfo(const std::uint8_t* data, std::size_t size, HeifPictureInfo& info)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size))
        return result;
    info.width = reader.layout().width;
    info.height = reader.layout().height;
    info.bitCount = 24;
    return SPI_ALL_RIGHT;
}

std::int32_t decodeHeif(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size))
        return result;
    return reader.decode(out, progress);
}

} // namespace tavo::spi
