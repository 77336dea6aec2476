#include "JxlDecoder.h"

#include "spi/common/ColourRows.h"
#include "imaging/SrgbTransform.h"

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace tavo::spi {
namespace {

struct DecoderFree {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
struct RunnerFree {
    void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};

// The picture as shown: orientations 5 to 8 swap the sides.
bool shownSize(const JxlBasicInfo& basic, DibLayout& layout)
{
    const bool transposed = basic.orientation >= JXL_ORIENT_TRANSPOSE;
    const std::uint32_t width = transposed ? basic.ysize : basic.xsize;
    const std::uint32_t height = transposed ? basic.xsize : basic.ysize;
    layout.bitCount = basic.num_color_channels == 1 && basic.alpha_bits == 0 ? 8 : 24;
    layout.colors = layout.bitCount == 8 ? 256 : 0;
    return planDib(width, height, layout) == SPI_ALL_RIGHT;
}

class Reader {
public:
    // Runs the decoder up to the basic information.
    std::int32_t open(const std::uint8_t* data, std::size_t size, bool threads)
    {
        if (!isJxlFile(data, size))
            return SPI_NOT_SUPPORT;
        decoder_.reset(JxlDecoderCreate(nullptr));
        if (!decoder_)
            return SPI_NO_MEMORY;
        JxlDecoder* d = decoder_.get();
        if (threads) {
            runner_.reset(JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
            if (!runner_ || JxlDecoderSetParallelRunner(d, JxlThreadParallelRunner, runner_.get()) != JXL_DEC_SUCCESS)
                return SPI_NO_MEMORY;
        }
        if (JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE)
                != JXL_DEC_SUCCESS
            || JxlDecoderSetInput(d, data, size) != JXL_DEC_SUCCESS)
            return SPI_OTHER_ERROR;
        JxlDecoderCloseInput(d);
        if (JxlDecoderProcessInput(d) != JXL_DEC_BASIC_INFO || JxlDecoderGetBasicInfo(d, &basic_) != JXL_DEC_SUCCESS)
            return SPI_OUT_OF_ORDER;
        if (basic_.xsize == 0 || basic_.ysize == 0)
            return SPI_OUT_OF_ORDER;
        return shownSize(basic_, layout_) ? SPI_ALL_RIGHT : SPI_NO_MEMORY;
    }

    std::int32_t decode(DibAllocator& out, const Progress& progress);

    const DibLayout& layout() const { return layout_; }

private:
    std::int32_t chooseColour(bool grey);

    std::unique_ptr<JxlDecoder, DecoderFree> decoder_;
    std::unique_ptr<void, RunnerFree> runner_;
    JxlBasicInfo basic_{};
    DibLayout layout_;
    std::optional<SrgbTransform> toSrgb_;
};

std::int32_t Reader::chooseColour(bool grey)
{
    // Pictures stored in the codec's own colour space are delivered in sRGB
    // rather than in the linear light the decoder picks for some of them.
    if (!basic_.uses_original_profile) {
        JxlColorEncoding srgb{};
        JxlColorEncodingSetToSRGB(&srgb, grey ? JXL_TRUE : JXL_FALSE);
        if (JxlDecoderSetPreferredColorProfile(decoder_.get(), &srgb) != JXL_DEC_SUCCESS)
            return SPI_OUT_OF_ORDER;
    }
    // The profile of the samples as they will be delivered: the stored ICC
    // profile of a picture kept in its own colour space, sRGB otherwise.
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) == JXL_DEC_SUCCESS
        && size > 0) {
        std::vector<std::uint8_t> profile(size);
        if (JxlDecoderGetColorAsICCProfile(decoder_.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(), size)
            == JXL_DEC_SUCCESS)
            toSrgb_.emplace(profile.data(), profile.size(), basic_.alpha_bits != 0 ? PixelOrder::Rgba : PixelOrder::Rgb);
    }
    return SPI_ALL_RIGHT;
}

std::int32_t Reader::decode(DibAllocator& out, const Progress& progress)
{
    JxlDecoder* d = decoder_.get();
    const bool alpha = basic_.alpha_bits != 0;
    const bool grey = basic_.num_color_channels == 1;
    const std::int32_t height = layout_.height;
    const std::size_t width = std::size_t(layout_.width);
    // Opaque pictures are written by the decoder straight into the bitmap
    // block, top-down with the bitmap's stride; alpha goes through a buffer.
    const JxlPixelFormat format{alpha ? 4u : (grey ? 1u : 3u), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, std::size_t(alpha ? 0 : 4)};
    std::unique_ptr<std::uint8_t[]> buffer;
    std::uint8_t* pixels = nullptr;
    if (progress.report(0, height))
        return SPI_ABORT;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d);
        if (status == JXL_DEC_COLOR_ENCODING) {
            if (std::int32_t result = chooseColour(grey && !alpha))
                return result;
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            std::size_t bytes = 0;
            if (JxlDecoderImageOutBufferSize(d, &format, &bytes) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
            const std::size_t expected = alpha ? width * 4 * std::size_t(height) : layout_.imageBytes;
            if (bytes > expected)
                return SPI_OUT_OF_ORDER;
            if (pixels == nullptr) {
                auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout_.infoBytes()));
                pixels = static_cast<std::uint8_t*>(out.allocateBits(layout_.imageBytes));
                if (info == nullptr || pixels == nullptr)
                    return SPI_NO_MEMORY;
                writeInfoHeader(layout_, info);
                for (std::uint32_t i = 0; i < layout_.colors; ++i) {
                    std::uint8_t* entry = info + 40 + 4 * i;
                    entry[0] = entry[1] = entry[2] = std::uint8_t(i);
                    entry[3] = 0;
                }
                if (alpha) {
                    buffer.reset(new (std::nothrow) std::uint8_t[expected]);
                    if (!buffer)
                        return SPI_NO_MEMORY;
                }
            }
            if (JxlDecoderSetImageOutBuffer(d, &format, alpha ? buffer.get() : pixels, expected) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break; // the first frame is all we show
        } else {
            // An error, data that ends early, or a stream without any frame.
            return SPI_OUT_OF_ORDER;
        }
    }
    if (pixels == nullptr)
        return SPI_OUT_OF_ORDER;
    const bool convert = toSrgb_ && toSrgb_->active() && !grey;
    if (alpha) {
        // Converted before alpha is composed, so the background stays as it is.
        if (convert)
            toSrgb_->apply(buffer.get(), width * std::size_t(height));
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* dst = pixels + std::size_t(height - 1 - y) * layout_.stride;
            rowToBgr(buffer.get() + std::size_t(y) * width * 4, SampleOrder::Rgba, width, dst);
            std::fill(dst + 3 * width, dst + layout_.stride, std::uint8_t(0));
            if (y + 1 < height && progress.report(y + 1, height))
                return SPI_ABORT;
        }
    } else {
        const std::size_t used = width * (grey ? 1 : 3);
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* row = pixels + std::size_t(y) * layout_.stride;
            if (convert)
                toSrgb_->apply(row, width);
            std::fill(row + used, row + layout_.stride, std::uint8_t(0));
        }
        if (!flipRowsInPlace(pixels, layout_, !grey, progress))
            return SPI_ABORT;
    }
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool isJxlFile(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr)
        return false;
    const JxlSignature signature = JxlSignatureCheck(data, size);
    return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

std::int32_t readJxlInfo(const std::uint8_t* data, std::size_t size, JxlPictureInfo& info)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size, false))
        return result;
    info.width = reader.layout().width;
    info.height = reader.layout().height;
    info.bitCount = std::int16_t(reader.layout().bitCount);
    return SPI_ALL_RIGHT;
}

std::int32_t decodeJxl(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    Reader reader;
    if (std::int32_t result = reader.open(data, size, true))
        return result;
    return reader.decode(out, progress);
}

} // namespace tavo::spi
