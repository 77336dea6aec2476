#include "imaging/BmpRle.h"

#include "imaging/ByteReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tavo {

namespace {

// The picture being drawn, with a pen that never leaves it: x stops at the
// row's end (the rest of a run is dropped) and rows end at the top.
class Canvas {
public:
    Canvas(Bitmap& target, const std::vector<PaletteEntry>& colorTable)
        : bits_(target.mutableBits()), stride_(target.stride()), width_(target.width()),
          height_(target.height())
    {
        // Indexes beyond the colour table give black, as in the bitmap itself.
        for (std::size_t i = 0; i < colorTable.size() && i < colors_.size(); ++i) {
            const PaletteEntry& c = colorTable[i];
            colors_[i] = std::uint32_t{c.blue} | (std::uint32_t{c.green} << 8) | (std::uint32_t{c.red} << 16);
        }
    }

    bool done() const { return y_ >= height_; }

    void run(unsigned count, unsigned first, unsigned second)
    {
        const std::int32_t n = std::min<std::int32_t>(static_cast<std::int32_t>(count), width_ - x_);
        std::uint8_t* p = rowStart() + static_cast<std::size_t>(x_) * 4;
        for (std::int32_t i = 0; i < n; ++i, p += 4)
            std::memcpy(p, &colors_[(i & 1) ? second : first], 4);
        x_ += n;
    }

    void pixel(unsigned index)
    {
        if (x_ >= width_)
            return;
        std::memcpy(rowStart() + static_cast<std::size_t>(x_) * 4, &colors_[index], 4);
        ++x_;
    }

    void endOfLine()
    {
        x_ = 0;
        ++y_;
    }
    void endOfBitmap() { y_ = height_; }
    void delta(unsigned dx, unsigned dy)
    {
        x_ = std::min<std::int32_t>(x_ + static_cast<std::int32_t>(dx), width_);
        y_ = std::min<std::int32_t>(y_ + static_cast<std::int32_t>(dy), height_);
    }

private:
    // Only called while the pen is inside the picture (done() is false).
    std::uint8_t* rowStart() const { return bits_ + static_cast<std::size_t>(y_) * stride_; }

    std::uint8_t* bits_;
    std::size_t stride_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t x_ = 0;
    std::int32_t y_ = 0;
    std::array<std::uint32_t, 256> colors_{};
};

// Absolute run of count indexes; its bytes are padded to a 16-bit boundary.
// Returns false when the data ends inside it.
bool absoluteRun(ByteReader& reader, unsigned count, int bitsPerIndex, Canvas& canvas)
{
    const std::size_t bytes = bitsPerIndex == 8 ? count : (count + 1) / 2;
    const auto data = reader.takeAtMost(bytes);
    if (bitsPerIndex == 8) {
        for (const std::uint8_t index : data)
            canvas.pixel(index);
    } else {
        for (unsigned i = 0; i < count && i / 2 < data.size(); ++i)
            canvas.pixel((i & 1) ? (data[i / 2] & 0x0Fu) : (data[i / 2] >> 4));
    }
    if (data.size() < bytes)
        return false;
    if (bytes & 1) {
        if (reader.atEnd())
            return false;
        reader.skip(1);
    }
    return true;
}

} // namespace

void expandBmpRunLength(std::span<const std::uint8_t> data, int bitsPerIndex,
                        const std::vector<PaletteEntry>& colorTable, Bitmap& target)
{
    if (target.isEmpty())
        return;
    Canvas canvas(target, colorTable);
    ByteReader reader(data);
    while (!canvas.done() && reader.remaining() >= 2) {
        const unsigned count = reader.u8();
        const unsigned value = reader.u8();
        if (count > 0) {
            if (bitsPerIndex == 8)
                canvas.run(count, value, value);
            else
                canvas.run(count, value >> 4, value & 0x0Fu);
            continue;
        }
        switch (value) {
        case 0:
            canvas.endOfLine();
            break;
        case 1:
            canvas.endOfBitmap();
            break;
        case 2:
            if (reader.remaining() < 2)
                return;
            {
                const unsigned dx = reader.u8();
                const unsigned dy = reader.u8();
                canvas.delta(dx, dy);
            }
            break;
        default:
            if (!absoluteRun(reader, value, bitsPerIndex, canvas))
                return;
            break;
        }
    }
}

} // namespace tavo
