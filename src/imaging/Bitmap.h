// The picture type of the whole system: a device-independent bitmap of 1, 4, 8,
// 16, 24 or 32 bits per pixel, rows padded to 4 bytes, reached from the top row
// down whatever their order in memory. Copies share their pixels until one of
// them asks for writable rows (copy on write).
#pragma once

#include "platform/PixelMemory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavo {

// One colour-table entry in the layout of the bitmap file format (RGBQUAD).
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// Colour masks of a 16- or 32-bit bitmap; all zero means the format's default.
struct ColorMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    bool isDefault() const { return red == 0 && green == 0 && blue == 0; }
    friend bool operator==(const ColorMasks&, const ColorMasks&) = default;
};

enum class RowOrder { TopDown, BottomUp };

class Bitmap {
public:
    // Largest side accepted, and the largest pixel buffer, in bytes.
    static constexpr std::int32_t kMaxSide = 1 << 16;
    static constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 32;

    // The empty bitmap: 0 × 0, 24 bits per pixel.
    Bitmap() = default;
    // Zero-filled pixels. Throws EInvalidGraphic for a bit count outside
    // {1, 4, 8, 16, 24, 32}, a negative side or a size beyond the limits above,
    // and EOutOfMemory when the pixels cannot be allocated. Ahead only for a
    // writer that fills every row (see PagePopulation).
    Bitmap(std::int32_t width, std::int32_t height, int bitCount,
           RowOrder order = RowOrder::TopDown,
           platform::PagePopulation population = platform::PagePopulation::ByWriter);

    static bool isValidBitCount(int bitCount);
    // Bytes per row for a width and bit count, padded to 4; 0 on overflow.
    static std::size_t rowStride(std::int32_t width, int bitCount);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    int bitCount() const { return bitCount_; }
    RowOrder rowOrder() const { return order_; }
    std::size_t stride() const { return stride_; }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }
    std::size_t byteSize() const { return stride_ * static_cast<std::size_t>(height_); }

    // Row y, counted from the top row (0) down. The writable form first gives
    // this bitmap pixels of its own when they are shared.
    const std::uint8_t* row(std::int32_t y) const;
    std::uint8_t* mutableRow(std::int32_t y);
    // The pixel buffer at its lowest address, as it lies in memory.
    const std::uint8_t* bits() const;
    std::uint8_t* mutableBits();

    const std::vector<PaletteEntry>& palette() const { return palette_; }
    void setPalette(std::vector<PaletteEntry> palette);
    const ColorMasks& masks() const { return masks_; }
    void setMasks(const ColorMasks& masks) { masks_ = masks; }
    // The masks that apply: the stored ones, or the format's default
    // (5-5-5 for 16 bits, 8-8-8 for 32 bits).
    ColorMasks effectiveMasks() const;

    // The colour of one pixel. A palette index beyond the palette gives black.
    PaletteEntry pixelColor(std::int32_t x, std::int32_t y) const;

    // A 24-bit, top-down copy with every pixel's colour kept and no palette.
    // A 24-bit top-down bitmap comes back sharing its pixels.
    Bitmap toBgr24() const;

    // Changes the size, keeping the overlapping top-left part of the picture;
    // new pixels are zero. The bit count, palette and masks stay.
    void resize(std::int32_t width, std::int32_t height);

    bool sharesPixelsWith(const Bitmap& other) const;

private:
    void detach();
    std::size_t memoryRowIndex(std::int32_t y) const;

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    int bitCount_ = 24;
    RowOrder order_ = RowOrder::TopDown;
    std::size_t stride_ = 0;
    std::shared_ptr<platform::PixelMemory> pixels_;
    std::vector<PaletteEntry> palette_;
    ColorMasks masks_;
};

} // namespace tavo
