#include "GifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace tavo::spi {
namespace {

std::int32_t fromGif(int error)
{
    switch (error) {
    case D_GIF_ERR_NOT_GIF_FILE:
        return SPI_NOT_SUPPORT;
    case D_GIF_ERR_NOT_ENOUGH_MEM:
        return SPI_NO_MEMORY;
    default:
        return SPI_OUT_OF_ORDER;
    }
}

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

int readSource(GifFileType* gif, GifByteType* into, int count)
{
    auto* source = static_cast<Source*>(gif->UserData);
    const std::size_t n = std::min(std::size_t(count < 0 ? 0 : count), source->size - source->at);
    std::memcpy(into, source->data + source->at, n);
    source->at += n;
    return int(n);
}

struct Plan {
    DibLayout layout;
    std::uint8_t table[256][4] = {}; // blue, green, red, 0
    std::uint32_t frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
    bool interlaced = false;
    bool covers = false;     // the frame fills the whole screen
    int fillIndex = -1;      // table entry of the background in 8-bit output
};

void setEntry(std::uint8_t* entry, unsigned red, unsigned green, unsigned blue)
{
    entry[0] = std::uint8_t(blue);
    entry[1] = std::uint8_t(green);
    entry[2] = std::uint8_t(red);
    entry[3] = 0;
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : source_{data, size} {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader()
    {
        if (gif_ != nullptr)
            DGifCloseFile(gif_, nullptr);
    }

    // Reads up to the first frame's descriptor and plans the bitmap.
    std::int32_t open(Plan& plan);
    std::int32_t decode(const Plan& plan, DibAllocator& out, const Progress& progress);

private:
    Source source_;
    GifFileType* gif_ = nullptr;
};

std::int32_t Reader::open(Plan& plan)
{
    if (!hasGifSignature(source_.data, source_.size))
        return SPI_NOT_SUPPORT;
    int error = 0;
    gif_ = DGifOpen(&source_, readSource, &error);
    if (gif_ == nullptr)
        return fromGif(error);
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif_, &type) == GIF_ERROR)
            return fromGif(gif_->Error);
        if (type == IMAGE_DESC_RECORD_TYPE)
            break;
        if (type == TERMINATE_RECORD_TYPE)
            return SPI_OUT_OF_ORDER; // no picture at all
        if (type != EXTENSION_RECORD_TYPE)
            return SPI_OUT_OF_ORDER;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR)
            return fromGif(gif_->Error);
        // The last graphic control block before the frame is the frame's.
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        while (block != nullptr)
            if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR)
                return fromGif(gif_->Error);
    }
    if (DGifGetImageDesc(gif_) == GIF_ERROR)
        return fromGif(gif_->Error);

    const GifImageDesc& frame = gif_->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width < 0 || frame.Height < 0)
        return SPI_OUT_OF_ORDER;
    plan.frameLeft = std::uint32_t(frame.Left);
    plan.frameTop = std::uint32_t(frame.Top);
    plan.frameWidth = std::uint32_t(frame.Width);
    plan.frameHeight = std::uint32_t(frame.Height);
    plan.interlaced = frame.Interlace;
    // The picture is the logical screen; what of the frame lies beyond it
    // is not shown, as in every viewer and browser.
    const std::uint32_t width = std::uint32_t(std::max(gif_->SWidth, 0));
    const std::uint32_t height = std::uint32_t(std::max(gif_->SHeight, 0));
    plan.covers = plan.frameLeft == 0 && plan.frameTop == 0 && plan.frameWidth >= width
        && plan.frameHeight >= height;

    // Without any colour table a decoder uses one of its own, black and white first.
    int entries = 2;
    setEntry(plan.table[1], 255, 255, 255);
    if (const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif_->SColorMap) {
        entries = std::clamp(map->ColorCount, 0, 256);
        for (int i = 0; i < entries; ++i)
            setEntry(plan.table[i], map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
        for (int i = entries; i < 256; ++i)
            setEntry(plan.table[i], 0, 0, 0);
    }
    if (transparent >= 0 && transparent < 256)
        setEntry(plan.table[transparent], kBackground.red, kBackground.green, kBackground.blue);
    plan.layout.bitCount = 8;
    plan.layout.colors = 256;
    if (!plan.covers) {
        if (transparent >= 0 && transparent < 256) {
            plan.fillIndex = transparent;
        } else if (entries < 256) {
            plan.fillIndex = entries;
            setEntry(plan.table[entries], kBackground.red, kBackground.green, kBackground.blue);
        } else {
            plan.layout.bitCount = 24; // no entry left for the background
            plan.layout.colors = 0;
        }
    }
    return planDib(width, height, plan.layout);
}

std::int32_t Reader::decode(const Plan& plan, DibAllocator& out, const Progress& progress)
{
    const DibLayout& layout = plan.layout;
    auto* info = static_cast<std::uint8_t*>(out.allocateInfo(layout.infoBytes()));
    auto* bits = static_cast<std::uint8_t*>(out.allocateBits(layout.imageBytes));
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[std::max(plan.frameWidth, 1u)]);
    if (info == nullptr || bits == nullptr || !line)
        return SPI_NO_MEMORY;
    writeInfoHeader(layout, info);
    std::memcpy(info + 40, plan.table, 4 * std::size_t(layout.colors));

    const std::int32_t height = layout.height;
    const bool indexed = layout.bitCount == 8;
    auto rowAt = [&](std::uint32_t y) { return bits + std::size_t(std::uint32_t(height) - 1 - y) * layout.stride; };
    if (progress.report(0, height))
        return SPI_ABORT;
    // Whatever the frame leaves uncovered shows the background.
    if (!plan.covers) {
        for (std::uint32_t y = 0; y < std::uint32_t(height); ++y) {
            std::uint8_t* row = rowAt(y);
            if (indexed) {
                std::memset(row, plan.fillIndex, std::size_t(layout.width));
            } else {
                for (std::int32_t x = 0; x < layout.width; ++x, row += 3)
                    row[0] = kBackground.blue, row[1] = kBackground.green, row[2] = kBackground.red;
            }
        }
    }
    static constexpr std::uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = plan.interlaced ? 4 : 1;
    std::uint32_t done = 0;
    std::int32_t reported = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const std::uint32_t start = plan.interlaced ? kStart[pass] : 0, step = plan.interlaced ? kStep[pass] : 1;
        for (std::uint32_t fy = start; fy < plan.frameHeight; fy += step) {
            if (DGifGetLine(gif_, line.get(), int(plan.frameWidth)) == GIF_ERROR)
                return fromGif(gif_->Error);
            const std::uint32_t y = plan.frameTop + fy;
            const std::uint32_t shown = plan.frameLeft < std::uint32_t(layout.width)
                ? std::min(plan.frameWidth, std::uint32_t(layout.width) - plan.frameLeft) : 0;
            if (y < std::uint32_t(height) && shown > 0) {
                std::uint8_t* row = rowAt(y);
                if (indexed) {
                    std::memcpy(row + plan.frameLeft, line.get(), shown);
                } else {
                    row += 3 * std::size_t(plan.frameLeft);
                    for (std::uint32_t x = 0; x < shown; ++x, row += 3)
                        std::memcpy(row, plan.table[line[x]], 3);
                }
            }
            const auto count = std::int32_t(std::uint64_t(++done) * std::uint64_t(height) / (plan.frameHeight + 1));
            if (count > reported && progress.report(reported = count, height))
                return SPI_ABORT;
        }
    }
    // Clear the padding at the end of each row.
    const std::size_t used = std::size_t(layout.width) * (indexed ? 1 : 3);
    if (used < layout.stride)
        for (std::uint32_t y = 0; y < std::uint32_t(height); ++y)
            std::memset(rowAt(y) + used, 0, layout.stride - used);
    if (progress.report(height, height))
        return SPI_ABORT;
    return SPI_ALL_RIGHT;
}

} // namespace

bool hasGifSignature(const void* data, std::size_t size)
{
    return data != nullptr && size >= 6
        && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

std::int32_t readGifInfo(const std::uint8_t* data, std::size_t size, GifPictureInfo& info)
{
    Reader reader(data, size);
    Plan plan;
    if (std::int32_t result = reader.open(plan))
        return result;
    info.width = plan.layout.width;
    info.height = plan.layout.height;
    info.bitCount = std::int16_t(plan.layout.bitCount);
    return SPI_ALL_RIGHT;
}

std::int32_t decodeGif(const std::uint8_t* data, std::size_t size, DibAllocator& out, const Progress& progress)
{
    Reader reader(data, size);
    Plan plan;
    if (std::int32_t result = reader.open(plan))
        return result;
    return reader.decode(plan, out, progress);
}

} // namespace tavo::spi
