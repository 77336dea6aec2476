#include "HeifDecoder.h"

#include "spi/common/ColourRows.h"
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
    std::unique_ptr<heif_context, ContextFree> context_;
    std::unique_ptr<heif_image_handle, HandleFree> handle_;
    DibLayout layout_;
    std::vector<std::uint8_t> profile_;
};

std::int32_t Reader::decode(DibAllocator& out, const Progress& progress)
{
    heif_image_handle* handle = handle_.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    if (progress.report(0, layout_.height))
        return SPI_ABORT;
    readProfile();
    heif_image* decoded = nullptr;
    if (std::int32_t result = fromHeif(heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, nullptr))) {
        heif_image_release(decoded);
        return result;
    }
    std::unique_ptr<heif_image, ImageFree> image(decoded);
    // The decoded picture has the transformations applied: a rotation by a
    // quarter turn or a clean aperture may have changed its size.
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (width <= 0 || height <= 0)
        return SPI_OUT_OF_ORDER;
    DibLayout layout;
    if (std::int32_t result = planDib(std::uint32_t(width), std::uint32_t(height), layout))
        return result;
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
    const unsigned channels = alpha ? 4 : 3;
    const std::size_t samples = std::size_t(width) * channels;
    if (plane == nullptr || stride <= 0 || std::size_t(stride) < samples * (deep ? 2 : 1)
        || (deep && (bits <= 8 || bits > 16)))
        return SPI_OUT_OF_ORDER;
    const SrgbTransform toSrgb(profile_.data(), profile_.size(), alpha ? PixelOrder::Rgba : PixelOrder::Rgb);

    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout.infoBytes()));
    auto* pixels = static_cast<std::uint8_t*>(out.allocateBits(layout.imageBytes));
    std::unique_ptr<std::uint8_t[]> reduced(deep ? new (std::nothrow) std::uint8_t[samples] : nullptr);
    if (info == nullptr || pixels == nullptr || (deep && !reduced))
        return SPI_NO_MEMORY;
    writeInfoHeader(layout, info);
    const SampleOrder order = alpha ? SampleOrder::Rgba : SampleOrder::Rgb;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = plane + std::size_t(y) * std::size_t(stride);
        if (deep) {
            reduceTo8(reinterpret_cast<const std::uint16_t*>(row), unsigned(bits), samples, reduced.get());
            row = reduced.get();
        }
        // Converted before alpha is composed, so the background stays as it is.
        toSrgb.apply(row, std::size_t(width));
        std::uint8_t* dst = pixels + std::size_t(height - 1 - y) * layout.stride;
        rowToBgr(row, order, std::size_t(width), dst);
        std::fill(dst + 3 * std::size_t(width), dst + layout.stride, std::uint8_t(0));
        if (y + 1 < height && progress.report(y + 1, height))
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
