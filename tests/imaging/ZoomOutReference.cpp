#include "ZoomOutReference.h"

namespace tavo::reference {

WidthTables widthTables(std::int32_t ws, std::int32_t wd)
{
    WidthTables t;
    t.start.assign(static_cast<std::size_t>(ws) + 1, 0);
    t.fraction.assign(static_cast<std::size_t>(ws) + 1, 0);
    for (std::int32_t i = 0; i <= wd; ++i) {
        const double x = static_cast<double>(std::int64_t{i} * ws) / wd;
        t.start[i] = static_cast<std::int32_t>(x);
        t.fraction[i] = static_cast<std::int32_t>((x - t.start[i]) * 65536);
    }
    t.divisor = static_cast<std::int64_t>(static_cast<double>(std::int64_t{ws} * 65536) / wd + 0.5);
    return t;
}

void shrinkHorizontal(const Bitmap& source, Bitmap& destination)
{
    const std::int32_t ws = source.width();
    const std::int32_t wd = destination.width();
    const WidthTables t = widthTables(ws, wd);
    const std::int64_t d = t.divisor;
    for (std::int32_t y = 0; y < source.height(); ++y) {
        const std::uint8_t* s = source.row(y);
        std::uint8_t* out = destination.mutableRow(y);
        std::int32_t weight = 65536;
        std::int32_t p = 0;
        for (std::int32_t j = 0; j < wd; ++j) {
            std::int64_t b = 0, g = 0, r = 0;
            if (weight != 0) {
                b = weight * s[3 * p];
                g = weight * s[3 * p + 1];
                r = weight * s[3 * p + 2];
            }
            const std::int32_t end = t.start[j + 1];
            for (std::int32_t k = p + 1; k < end; ++k) {
                b += 65536 * s[3 * k];
                g += 65536 * s[3 * k + 1];
                r += 65536 * s[3 * k + 2];
            }
            const std::int32_t h = t.fraction[j + 1];
            if (h != 0) {
                b += h * s[3 * end];
                g += h * s[3 * end + 1];
                r += h * s[3 * end + 2];
            }
            out[3 * j] = static_cast<std::uint8_t>(b / d);
            out[3 * j + 1] = static_cast<std::uint8_t>(g / d);
            out[3 * j + 2] = static_cast<std::uint8_t>(r / d);
            weight = 65536 - h;
            p = end;
        }
    }
}

void shrinkVertical(const Bitmap& source, Bitmap& destination)
{
    const std::int32_t w = source.width();
    const std::int32_t hs = source.height();
    const std::int32_t hd = destination.height();
    std::vector<std::int64_t> blue(static_cast<std::size_t>(w)), green(blue.size()), red(blue.size());
    const std::int64_t d = static_cast<std::int64_t>(static_cast<double>(std::int64_t{hs} * 65536) / hd + 0.5);
    std::int32_t weight = 65536;
    std::int32_t p = 0;
    const std::uint8_t* r = source.row(0);
    auto add = [&](const std::uint8_t* row, std::int64_t factor) {
        for (std::int32_t x = 0; x < w; ++x) {
            blue[x] += factor * row[3 * x];
            green[x] += factor * row[3 * x + 1];
            red[x] += factor * row[3 * x + 2];
        }
    };
    for (std::int32_t i = 0; i < hd; ++i) {
        std::fill(blue.begin(), blue.end(), 0);
        std::fill(green.begin(), green.end(), 0);
        std::fill(red.begin(), red.end(), 0);
        if (weight != 0)
            add(r, weight);
        const double y = static_cast<double>(std::int64_t{hs} * (i + 1)) / hd;
        const std::int32_t e = static_cast<std::int32_t>(y);
        for (std::int32_t k = p + 1; k < e; ++k)
            add(source.row(k), 65536);
        const std::int32_t f = static_cast<std::int32_t>((y - e) * 65536);
        if (i != hd - 1) {
            r = source.row(e);
            if (f != 0)
                add(r, f);
        }
        std::uint8_t* out = destination.mutableRow(i);
        for (std::int32_t x = 0; x < w; ++x) {
            out[3 * x] = static_cast<std::uint8_t>(blue[x] / d);
            out[3 * x + 1] = static_cast<std::uint8_t>(green[x] / d);
            out[3 * x + 2] = static_cast<std::uint8_t>(red[x] / d);
        }
        weight = 65536 - f;
        p = e;
    }
}

void shrinkBitmap(Bitmap& picture, double ratio)
{
    const std::int32_t wt = static_cast<std::int32_t>(picture.width() * ratio);
    const std::int32_t ht = static_cast<std::int32_t>(picture.height() * ratio);
    if (picture.isEmpty())
        return;
    if (picture.bitCount() != 24)
        picture = picture.toBgr24();
    Bitmap work = picture;
    work.resize(wt, picture.height());
    shrinkHorizontal(picture, work);
    picture = work;
    work.resize(wt, ht);
    shrinkVertical(picture, work);
    picture = work;
}

} // namespace tavo::reference
