// The reduction against an outside anchor: an exact floating-point area average
// of the same target size, on generated photo-like pictures.
#include "imaging/ZoomOut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace tavo;

namespace {

// Smooth shading, a few hard edges, fine texture and sensor-like noise.
Bitmap photoLike(std::int32_t w, std::int32_t h, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 3.0);
    Bitmap picture(w, h, 24);
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (std::int32_t x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
            const bool disc = (u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4) < 0.05;
            const double texture = 12 * std::sin(x * 0.9) * std::sin(y * 0.7);
            for (int c = 0; c < 3; ++c) {
                double value = 40 + 150 * u * (c + 1) / 3 + 60 * v + 30 * std::sin(6 * u + 4 * v + c) + texture;
                if (disc)
                    value = 230 - 40 * c + 0.5 * texture;
                if (u > 0.2 && u < 0.25)
                    value = 15;
                row[3 * x + c] = static_cast<std::uint8_t>(std::clamp(value + noise(random), 0.0, 255.0));
            }
        }
    }
    return picture;
}

// The covered fraction of each source pixel per output pixel, along one side.
std::vector<std::vector<std::pair<int, double>>> coverage(std::int32_t source, std::int32_t target)
{
    std::vector<std::vector<std::pair<int, double>>> spans(static_cast<std::size_t>(target));
    const double scale = static_cast<double>(source) / target;
    for (std::int32_t j = 0; j < target; ++j) {
        const double from = j * scale, to = (j + 1) * scale;
        for (int k = static_cast<int>(from); k < source && k < to; ++k) {
            const double part = std::min<double>(k + 1, to) - std::max<double>(k, from);
            if (part > 0)
                spans[static_cast<std::size_t>(j)].push_back({k, part / scale});
        }
    }
    return spans;
}

double psnrAgainstAreaAverage(const Bitmap& original, double ratio)
{
    Bitmap reduced = original;
    ShrinkBitmap(reduced, ratio);
    const auto across = coverage(original.width(), reduced.width());
    const auto down = coverage(original.height(), reduced.height());
    double squares = 0;
    for (std::int32_t i = 0; i < reduced.height(); ++i)
        for (std::int32_t j = 0; j < reduced.width(); ++j)
            for (int c = 0; c < 3; ++c) {
                double exact = 0;
                for (auto [y, wy] : down[static_cast<std::size_t>(i)])
                    for (auto [x, wx] : across[static_cast<std::size_t>(j)])
                        exact += wy * wx * original.row(y)[3 * x + c];
                const double error = reduced.row(i)[3 * j + c] - exact;
                squares += error * error;
            }
    const double mse = squares / (3.0 * reduced.width() * reduced.height());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

TEST(ZoomOutQuality, AreaAverageWithinTruncationOfTheExactAverage)
{
    const Bitmap picture = photoLike(1500, 1000, 1);
    for (double ratio : {0.5, 0.3, 0.1}) {
        const double psnr = psnrAgainstAreaAverage(picture, ratio);
        std::printf("ratio %.1f: PSNR %.2f dB\n", ratio, psnr);
        RecordProperty("psnr_" + std::to_string(static_cast<int>(ratio * 10)), std::to_string(psnr));
        EXPECT_GE(psnr, 48.0) << ratio;
    }
}
