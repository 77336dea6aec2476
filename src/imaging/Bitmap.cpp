#include "imaging/Bitmap.h"

#include "platform/Errors.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace tavo {

namespace {

std::shared_ptr<platform::PixelMemory> allocatePixels(std::size_t size,
                                                      platform::PagePopulation population = platform::PagePopulation::ByWriter)
{
    try {
        return std::make_shared<platform::PixelMemory>(size, population);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

// A mask's field scaled to 0..255.
std::uint8_t maskedChannel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint64_t max = mask >> shift;
    const std::uint64_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

} // namespace

bool Bitmap::isValidBitCount(int bitCount)
{
    switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

std::size_t Bitmap::rowStride(std::int32_t width, int bitCount)
{
    if (width < 0 || bitCount <= 0)
        return 0;
    const std::uint64_t bitsPerRow = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount);
    return static_cast<std::size_t>((bitsPerRow + 31) / 32 * 4);
}

Bitmap::Bitmap(std::int32_t width, std::int32_t height, int bitCount, RowOrder order,
               platform::PagePopulation population)
    : bitCount_(bitCount), order_(order)
{
    if (!isValidBitCount(bitCount) || width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw EInvalidGraphic();
    const std::size_t stride = rowStride(width, bitCount);
    if (static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height) > kMaxPixelBytes)
        throw EInvalidGraphic();
    width_ = width;
    height_ = height;
    stride_ = stride;
    if (width > 0 && height > 0)
        pixels_ = allocatePixels(stride_ * static_cast<std::size_t>(height_), population);
}

std::size_t Bitmap::memoryRowIndex(std::int32_t y) const
{
    return order_ == RowOrder::TopDown ? static_cast<std::size_t>(y)
                                       : static_cast<std::size_t>(height_ - 1 - y);
}

const std::uint8_t* Bitmap::row(std::int32_t y) const
{
    return pixels_->data() + memoryRowIndex(y) * stride_;
}

std::uint8_t* Bitmap::mutableRow(std::int32_t y)
{
    detach();
    return pixels_->data() + memoryRowIndex(y) * stride_;
}

const std::uint8_t* Bitmap::bits() const { return pixels_ ? pixels_->data() : nullptr; }

std::uint8_t* Bitmap::mutableBits()
{
    detach();
    return pixels_ ? pixels_->data() : nullptr;
}

void Bitmap::detach()
{
    if (!pixels_ || pixels_.use_count() == 1)
        return;
    auto own = allocatePixels(pixels_->size());
    std::memcpy(own->data(), pixels_->data(), pixels_->size());
    pixels_ = std::move(own);
}

void Bitmap::setPalette(std::vector<PaletteEntry> palette)
{
    if (palette.size() > 256)
        throw EInvalidGraphic();
    palette_ = std::move(palette);
}

ColorMasks Bitmap::effectiveMasks() const
{
    if (!masks_.isDefault())
        return masks_;
    if (bitCount_ == 16)
        return {0x7C00, 0x03E0, 0x001F};
    if (bitCount_ == 32)
        return {0x00FF0000, 0x0000FF00, 0x000000FF};
    return {};
}

PaletteEntry Bitmap::pixelColor(std::int32_t x, std::int32_t y) const
{
    const std::uint8_t* r = row(y);
    auto fromPalette = [this](unsigned index) {
        return index < palette_.size() ? palette_[index] : PaletteEntry{};
    };
    switch (bitCount_) {
    case 1:
        return fromPalette((r[x >> 3] >> (7 - (x & 7))) & 1u);
    case 4:
        return fromPalette((x & 1) ? (r[x >> 1] & 0x0Fu) : (r[x >> 1] >> 4));
    case 8:
        return fromPalette(r[x]);
    case 16:
    case 32: {
        std::uint32_t pixel = 0;
        if (bitCount_ == 16)
            pixel = static_cast<std::uint32_t>(r[2 * x] | (r[2 * x + 1] << 8));
        else
            std::memcpy(&pixel, r + 4 * static_cast<std::size_t>(x), 4); // little-endian host
        const ColorMasks m = effectiveMasks();
        return {maskedChannel(pixel, m.blue), maskedChannel(pixel, m.green), maskedChannel(pixel, m.red), 0};
    }
    default:
        return {r[3 * x], r[3 * x + 1], r[3 * x + 2], 0};
    }
}

Bitmap Bitmap::toBgr24() const
{
    if (bitCount_ == 24 && order_ == RowOrder::TopDown)
        return *this;
    Bitmap out(width_, height_, 24);
    for (std::int32_t y = 0; y < height_; ++y) {
        std::uint8_t* d = out.mutableRow(y);
        if (bitCount_ == 24) {
            std::memcpy(d, row(y), static_cast<std::size_t>(width_) * 3);
            continue;
        }
        if (bitCount_ == 8) {
            // The common palettised case without a per-pixel switch.
            const std::uint8_t* s = row(y);
            for (std::int32_t x = 0; x < width_; ++x) {
                const PaletteEntry c = s[x] < palette_.size() ? palette_[s[x]] : PaletteEntry{};
                d[3 * x] = c.blue;
                d[3 * x + 1] = c.green;
                d[3 * x + 2] = c.red;
            }
            continue;
        }
        for (std::int32_t x = 0; x < width_; ++x) {
            const PaletteEntry c = pixelColor(x, y);
            d[3 * x] = c.blue;
            d[3 * x + 1] = c.green;
            d[3 * x + 2] = c.red;
        }
    }
    return out;
}

void Bitmap::resize(std::int32_t width, std::int32_t height)
{
    if (width == width_ && height == height_)
        return;
    Bitmap out(width, height, bitCount_, order_);
    const std::int32_t rows = std::min(height, height_);
    const std::size_t bytes = std::min(out.stride_, stride_);
    for (std::int32_t y = 0; y < rows; ++y)
        std::memcpy(out.mutableRow(y), row(y), bytes);
    out.palette_ = std::move(palette_);
    out.masks_ = masks_;
    *this = std::move(out);
}

bool Bitmap::sharesPixelsWith(const Bitmap& other) const
{
    return pixels_ && pixels_ == other.pixels_;
}

} // namespace tavo
