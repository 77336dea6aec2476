#include "ColourRows.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace tavo::spi {

void rowToBgr(const std::uint8_t* src, SampleOrder order, std::size_t width, std::uint8_t* dst)
{
    switch (order) {
    case SampleOrder::Rgb:
        for (std::size_t x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        break;
    case SampleOrder::Bgr:
        std::copy(src, src + 3 * width, dst);
        break;
    case SampleOrder::Rgba:
        for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
            const unsigned a = src[3];
            dst[0] = compose8(src[2], a, kBackground.blue);
            dst[1] = compose8(src[1], a, kBackground.green);
            dst[2] = compose8(src[0], a, kBackground.red);
        }
        break;
    case SampleOrder::Bgra:
        for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
            const unsigned a = src[3];
            dst[0] = compose8(src[0], a, kBackground.blue);
            dst[1] = compose8(src[1], a, kBackground.green);
            dst[2] = compose8(src[2], a, kBackground.red);
        }
        break;
    }
}

void reduceTo8(const std::uint16_t* src, unsigned bits, std::size_t count, std::uint8_t* dst)
{
    const std::uint32_t max = (1u << bits) - 1;
    // Rounded to the nearest 8-bit value; a sample above max (damaged data)
    // is clamped rather than wrapped.
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = src[i];
        dst[i] = std::uint8_t(v >= max ? 255 : (v * 255 + max / 2) / max);
    }
}

namespace {
void swapRedBlue(std::uint8_t* row, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x, row += 3)
        std::swap(row[0], row[2]);
}
} // namespace

bool flipRowsInPlace(std::uint8_t* bits, const DibLayout& layout, bool swap, const Progress& progress)
{
    const std::size_t stride = layout.stride, width = std::size_t(layout.width);
    const std::int32_t height = layout.height;
    std::unique_ptr<std::uint8_t[]> spare(new std::uint8_t[stride]);
    for (std::int32_t top = 0, bottom = height - 1; top <= bottom; ++top, --bottom) {
        std::uint8_t* a = bits + std::size_t(top) * stride;
        std::uint8_t* b = bits + std::size_t(bottom) * stride;
        if (swap) {
            swapRedBlue(a, width);
            if (a != b)
                swapRedBlue(b, width);
        }
        if (a != b) {
            std::copy(a, a + stride, spare.get());
            std::copy(b, b + stride, a);
            std::copy(spare.get(), spare.get() + stride, b);
        }
        const std::int32_t done = top == bottom ? height : 2 * (top + 1);
        if (done < height && progress.report(done, height))
            return false;
    }
    return true;
}

} // namespace tavo::spi
