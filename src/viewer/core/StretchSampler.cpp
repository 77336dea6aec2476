#include "viewer/core/StretchSampler.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tavo {

std::int32_t nearestSource(std::int32_t d, std::int32_t control, std::int32_t source)
{
    if (control <= 0 || source <= 0)
        return 0;
    const std::int64_t s = ((2 * static_cast<std::int64_t>(d) + 1) * source) / (2 * static_cast<std::int64_t>(control));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(s, 0, source - 1));
}

namespace {
bool readInPlace(const Bitmap& picture)
{
    return picture.bitCount() == 8 || picture.bitCount() == 24 ||
           (picture.bitCount() == 32 &&
            picture.effectiveMasks() == ColorMasks{0xFF0000, 0x00FF00, 0x0000FF});
}

constexpr std::uint32_t opaque(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return 0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
}
} // namespace

StretchSampler::StretchSampler(const Bitmap& picture)
    : pixels_(picture.isEmpty() || readInPlace(picture) ? picture : picture.toBgr24())
{
    // Indices beyond the stored palette stay black.
    palette_.fill(opaque(0, 0, 0));
    if (pixels_.bitCount() == 8) {
        const auto& palette = pixels_.palette();
        for (std::size_t i = 0; i < palette.size() && i < palette_.size(); ++i)
            palette_[i] = opaque(palette[i].red, palette[i].green, palette[i].blue);
    }
}

void StretchSampler::sample(PixelSize control, const ImageBounds& part, std::uint32_t* out,
                            std::size_t rowWords) const
{
    if (isEmpty() || control.isEmpty())
        return;
    // Clip the part to the control.
    const std::int32_t left = std::max(part.left, 0);
    const std::int32_t top = std::max(part.top, 0);
    const std::int32_t right = std::min<std::int64_t>(std::int64_t{part.left} + part.width, control.width);
    const std::int32_t bottom = std::min<std::int64_t>(std::int64_t{part.top} + part.height, control.height);
    if (left >= right || top >= bottom)
        return;
    const std::size_t width = static_cast<std::size_t>(right - left);

    // Byte offsets of each destination column's source pixel within a row.
    const std::size_t bytesPerPixel = static_cast<std::size_t>(pixels_.bitCount() / 8);
    std::vector<std::size_t> columns(width);
    for (std::size_t i = 0; i < width; ++i)
        columns[i] = bytesPerPixel * static_cast<std::size_t>(nearestSource(
                                         left + static_cast<std::int32_t>(i), control.width, pixels_.width()));

    const std::uint32_t* previous = nullptr;
    const std::size_t* const offsets = columns.data();
    std::int32_t previousRow = -1;
    for (std::int32_t y = top; y < bottom; ++y) {
        std::uint32_t* target = out + static_cast<std::size_t>(y - part.top) * rowWords + (left - part.left);
        const std::int32_t sourceRow = nearestSource(y, control.height, pixels_.height());
        // An enlarged picture repeats whole rows: copy the one just made.
        if (sourceRow == previousRow) {
            std::memcpy(target, previous, width * sizeof(std::uint32_t));
            continue;
        }
        const std::uint8_t* row = pixels_.row(sourceRow);
        switch (pixels_.bitCount()) {
        case 8:
            for (std::size_t i = 0; i < width; ++i)
                target[i] = palette_[row[offsets[i]]];
            break;
        case 24:
            for (std::size_t i = 0; i < width; ++i) {
                const std::uint8_t* p = row + offsets[i];
                target[i] = opaque(p[2], p[1], p[0]);
            }
            break;
        default: {
            for (std::size_t i = 0; i < width; ++i) {
                std::uint32_t value;
                std::memcpy(&value, row + offsets[i], sizeof value);
                target[i] = value | 0xFF000000u;
            }
            break;
        }
        }
        previous = target;
        previousRow = sourceRow;
    }
}

} // namespace tavo
