#include "WebpDecoder.h"

#include "imaging/SrgbTransform.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace tavo::spi {
namespace {

// The incremental decoder of pictures with alpha gets the data in this many
// steps, so that progress can be reported and finished rows composed while
// they are in cache.
constexpr std::size_t kSteps = 16;

std::int32_t fromStatus(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OK:
        return SPI_ALL_RIGHT;
    case VP8_STATUS_OUT_OF_MEMORY:
        return SPI_NO_MEMORY;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return SPI_NOT_SUPPORT;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

// Composes rows of non-premultiplied BGRA over the background into BGR.
void composeRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned a = src[3];
        if (a == 255) {
            dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
        } else {
            dst[0] = compose8(src[0], a, kBackground.blue);
            dst[1] = compose8(src[1], a, kBackground.green);
            dst[2] = compose8(src[2], a, kBackground.red);
        }
    }
}

// The embedded ICC profile (the ICCP chunk of an extended file), or none. The
// bytes stay in the caller's data.
WebPData iccProfile(const std::uint8_t* data, std::size_t size)
{
    WebPData profile{nullptr, 0};
    const WebPData input{data, size};
    std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&input), WebPDemuxDelete);
    if (!demux || !(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG))
        return profile;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
        profile = chunk.chunk;
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    return profile;
}

std::uint8_t* prepare(const DibLayout& layout, DibAllocator& out)
{
    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout.infoBytes()));
    auto* bits = static_cast<std::uint8_t*>(out.allocateBits(layout.imageBytes));
    if (info == nullptr || bits == nullptr)
        return nullptr;
    writeInfoHeader(layout, info);
    // Row padding is never written by the decoder.
    const std::size_t used = std::size_t(layout.width) * 3;
    if (used < layout.stride)
        for (std::int32_t y = 0; y < layout.height; ++y)
            std::memset(bits + std::size_t(y) * layout.stride + used, 0, layout.stride - used);
    return bits;
}

// The first frame of an animation, composed on its canvas by libwebp.
std::int32_t decodeAnimation(const std::uint8_t* data, std::size_t size, DibAllocator& out,
                             const Progress& progress)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return SPI_OTHER_ERROR;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData input{data, size};
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(WebPAnimDecoderNew(&input, &options),
                                                                         WebPAnimDecoderDelete);
    if (!decoder)
        return SPI_OUT_OF_ORDER;
    WebPAnimInfo anim;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &anim))
        return SPI_OUT_OF_ORDER;
    DibLayout layout;
    if (std::int32_t result = planDib(anim.canvas_width, anim.canvas_height, layout))
        return result;
    std::uint8_t* bits = prepare(layout, out);
    if (bits == nullptr)
        return SPI_NO_MEMORY;
    if (progress.report(0, layout.height))
        return SPI_ABORT;
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr)
        return SPI_OUT_OF_ORDER;
    const std::size_t width = std::size_t(layout.width);
    const WebPData icc = iccProfile(data, size);
    const SrgbTransform toSrgb(icc.bytes, icc.size, PixelOrder::Bgra);
    for (std::int32_t y = 0; y < layout.height; ++y) {
        std::uint8_t* row = canvas + std::size_t(y) * width * 4;
        toSrgb.apply(row, width);
        composeRow(row, bits + std::size_t(layout.height - 1 - y) * layout.stride, width);
    }
    if (progress.report(layout.height, layout.height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

// Opaque pictures: one plain decoding straight into the bitmap, which libwebp
// writes bottom-up itself (flip); the incremental decoder costs more than the
// progress it makes visible.
std::int32_t decodeOpaque(const std::uint8_t* data, std::size_t size, const DibLayout& layout,
                          std::uint8_t* bits, const Progress& progress)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return SPI_OTHER_ERROR;
    config.options.flip = 1;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bits;
    config.output.u.RGBA.stride = int(layout.stride);
    config.output.u.RGBA.size = layout.imageBytes;
    if (progress.report(0, layout.height))
        return SPI_ABORT;
    if (VP8StatusCode status = WebPDecode(data, size, &config))
        return fromStatus(status);
    const WebPData icc = iccProfile(data, size);
    const SrgbTransform toSrgb(icc.bytes, icc.size, PixelOrder::Bgr);
    if (toSrgb.active())
        for (std::int32_t y = 0; y < layout.height; ++y)
            toSrgb.apply(bits + std::size_t(y) * layout.stride, std::size_t(layout.width));
    if (progress.report(layout.height, layout.height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

// Pictures with alpha: the incremental decoder fills BGRA rows, which are
// converted and composed into the bitmap as they are finished, while in cache.
std::int32_t decodeTransparent(const std::uint8_t* data, std::size_t size, const DibLayout& layout,
                               std::uint8_t* bits, const Progress& progress)
{
    const std::size_t width = std::size_t(layout.width);
    const std::int32_t height = layout.height;
    std::unique_ptr<std::uint8_t[]> bgra(new (std::nothrow) std::uint8_t[width * 4 * std::size_t(height)]);
    if (!bgra)
        return SPI_NO_MEMORY;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return SPI_OTHER_ERROR;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bgra.get();
    config.output.u.RGBA.stride = int(width * 4);
    config.output.u.RGBA.size = width * 4 * std::size_t(height);
    const WebPData icc = iccProfile(data, size);
    const SrgbTransform toSrgb(icc.bytes, icc.size, PixelOrder::Bgra);
    std::unique_ptr<WebPIDecoder, void (*)(WebPIDecoder*)> decoder(WebPIDecode(nullptr, 0, &config), WebPIDelete);
    if (!decoder)
        return SPI_NO_MEMORY;
    if (progress.report(0, height))
        return SPI_ABORT;
    int finished = 0; // rows handed on so far
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (std::size_t step = 1; step <= kSteps && status == VP8_STATUS_SUSPENDED; ++step) {
        status = WebPIUpdate(decoder.get(), data, size * step / kSteps);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            return fromStatus(status);
        int lastY = 0;
        if (WebPIDecGetRGB(decoder.get(), &lastY, nullptr, nullptr, nullptr) == nullptr)
            lastY = 0;
        lastY = std::clamp(lastY, finished, height);
        if (lastY == finished)
            continue;
        for (int y = finished; y < lastY; ++y) {
            std::uint8_t* source = bgra.get() + std::size_t(y) * width * 4;
            toSrgb.apply(source, width);
            composeRow(source, bits + std::size_t(height - 1 - y) * layout.stride, width);
        }
        finished = lastY;
        if (finished < height && progress.report(finished, height))
            return SPI_ABORT;
    }
    // All data given and still waiting for more: the file is cut short.
    if (status != VP8_STATUS_OK || finished != height)
        return SPI_OUT_OF_ORDER;
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

std::int32_t decodeStill(const std::uint8_t* data, std::size_t size, const WebPBitstreamFeatures& features,
                         DibAllocator& out, const Progress& progress)
{
    DibLayout layout;
    if (std::int32_t result = planDib(std::uint32_t(features.width), std::uint32_t(features.height), layout))
        return result;
    std::uint8_t* bits = prepare(layout, out);
    if (bits == nullptr)
        return SPI_NO_MEMORY;
    if (features.has_alpha)
        return decodeTransparent(data, size, layout, bits, progress);
    return decodeOpaque(data, size, layout, bits, progress);
}

} // namespace

bool hasWebpSignature(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return data != nullptr && size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0
        && std::memcmp(bytes + 8, "WEBP", 4) == 0;
}

std::int32_t readWebpInfo(const std::uint8_t* data, std::size_t size, WebpPictureInfo& info)
{
    if (!hasWebpSignature(data, size))
        return SPI_NOT_SUPPORT;
    WebPBitstreamFeatures features;
    if (VP8StatusCode status = WebPGetFeatures(data, size, &features))
        return fromStatus(status);
    DibLayout layout;
    if (std::int32_t result = planDib(std::uint32_t(features.width), std::uint32_t(features.height), layout))
        return result;
    info.width = layout.width;
    info.height = layout.height;
    info.bitCount = 24;
    return SPI_ALL_RIGHT;
}

std::int32_t decodeWebp(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    if (!hasWebpSignature(data, size))
        return SPI_NOT_SUPPORT;
    WebPBitstreamFeatures features;
    if (VP8StatusCode status = WebPGetFeatures(data, size, &features))
        return fromStatus(status);
    if (features.has_animation)
        return decodeAnimation(data, size, out, progress);
    return decodeStill(data, size, features, out, progress);
}

} // namespace tavo::spi
