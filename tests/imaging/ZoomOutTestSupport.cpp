#include "ZoomOutTestSupport.h"

#include "ZoomOutReference.h"

#include <cstring>

namespace tavo::testing {

std::vector<ShrinkImplementation> shrinkImplementations()
{
    std::vector<ShrinkImplementation> all{{"reference", reference::shrinkBitmap, nullptr}};
    for (const zoomout::Kernels* k : zoomout::availableKernels())
        all.push_back({k->name, [k](Bitmap& p, double r) { zoomout::shrinkBitmapWith(p, r, *k); }, k});
    return all;
}

Bitmap pictureOf(std::int32_t w, std::int32_t h, const std::vector<std::uint8_t>& bgr, RowOrder order)
{
    Bitmap picture(w, h, 24, order);
    for (std::int32_t y = 0; y < h; ++y)
        std::memcpy(picture.mutableRow(y), bgr.data() + 3 * static_cast<std::size_t>(w) * y, 3 * static_cast<std::size_t>(w));
    return picture;
}

std::vector<int> blueRow(const Bitmap& picture, std::int32_t y)
{
    std::vector<int> values;
    for (std::int32_t x = 0; x < picture.width(); ++x)
        values.push_back(picture.row(y)[3 * x]);
    return values;
}

Bitmap randomPicture(std::mt19937& random, std::int32_t w, std::int32_t h, int bitCount, RowOrder order)
{
    Bitmap picture(w, h, bitCount, order);
    std::uniform_int_distribution<int> byte(0, 255);
    // Smooth areas, edges and noise alike: a random base per picture plus noise.
    const int base = byte(random);
    const int spread = 1 + byte(random);
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (std::size_t i = 0; i < picture.stride(); ++i)
            row[i] = static_cast<std::uint8_t>(base + byte(random) % spread);
    }
    if (bitCount <= 8) {
        std::vector<PaletteEntry> palette(std::size_t{1} << bitCount);
        for (auto& e : palette)
            e = {static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                 static_cast<std::uint8_t>(byte(random)), 0};
        palette.resize(palette.size() - static_cast<std::size_t>(byte(random) % 2)); // an index past the end
        picture.setPalette(palette);
    }
    if (bitCount == 16 && byte(random) % 2)
        picture.setMasks({0xF800, 0x07E0, 0x001F});
    return picture;
}

std::string firstDifference(const Bitmap& a, const Bitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != b.bitCount())
        return "size " + std::to_string(a.width()) + "x" + std::to_string(a.height()) + "/" +
               std::to_string(a.bitCount()) + " against " + std::to_string(b.width()) + "x" +
               std::to_string(b.height()) + "/" + std::to_string(b.bitCount());
    const std::size_t bytes = 3 * static_cast<std::size_t>(a.width());
    for (std::int32_t y = 0; y < a.height(); ++y)
        for (std::size_t i = 0; i < bytes; ++i)
            if (a.row(y)[i] != b.row(y)[i])
                return "row " + std::to_string(y) + " byte " + std::to_string(i) + ": " +
                       std::to_string(a.row(y)[i]) + " against " + std::to_string(b.row(y)[i]);
    return {};
}

} // namespace tavo::testing
