// Reduces a 24-megapixel 24-bit picture (6000 × 4000) to 1500 × 1000 and to
// 800 × 533 with every kernel set and with the reference loop, and measures the
// copy bandwidth of a large memcpy in the same rounds. The bandwidth floor is the
// traffic of the two passes (read the source, write and read the Wt × H
// intermediate, write the result) at that bandwidth. Medians over the rounds.
//
//   shrink_bench [rounds]
#include "ZoomOutReference.h"
#include "imaging/ZoomOut.h"
#include "imaging/ZoomOutKernels.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace tavo;

namespace {

double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Bitmap photoLike(std::int32_t w, std::int32_t h)
{
    Bitmap picture(w, h, 24);
    std::mt19937 random(1);
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (std::int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<std::uint8_t>((x * (c + 1) / 24 + y / 16 + (random() & 15)) & 255);
    }
    return picture;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const Bitmap source = photoLike(6000, 4000);

    // Copy bandwidth: read plus write bytes per second of a buffer far beyond the caches.
    const std::size_t copyBytes = std::size_t{256} << 20;
    std::vector<std::uint8_t> from(copyBytes, 1), to(copyBytes, 2);

    struct Target {
        std::int32_t width, height;
    };
    const Target targets[] = {{1500, 1000}, {800, 533}};
    const auto kernels = zoomout::availableKernels();

    std::vector<double> copyTimes;
    std::vector<std::vector<std::vector<double>>> times(2, std::vector<std::vector<double>>(kernels.size() + 1));
    for (int round = 0; round < rounds; ++round) {
        copyTimes.push_back(seconds([&] { std::memcpy(to.data(), from.data(), copyBytes); }));
        for (std::size_t t = 0; t < 2; ++t) {
            const double ratio = static_cast<double>(targets[t].width) / source.width();
            for (std::size_t k = 0; k < kernels.size(); ++k)
                times[t][k].push_back(seconds([&] {
                    Bitmap picture = source;
                    zoomout::shrinkBitmapWith(picture, ratio, *kernels[k]);
                }));
            if (round < 5 || round % 3 == 0) // the reference is slow; fewer rounds suffice
                times[t][kernels.size()].push_back(seconds([&] {
                    Bitmap picture = source;
                    reference::shrinkBitmap(picture, ratio);
                }));
        }
    }
    const double bandwidth = 2.0 * copyBytes / median(copyTimes);
    std::printf("copy bandwidth (read + write): %.1f GB/s, %d rounds, best kernels: %s\n", bandwidth / 1e9, rounds,
                zoomout::bestKernels().name);
    for (std::size_t t = 0; t < 2; ++t) {
        Bitmap check = source;
        const double ratio = static_cast<double>(targets[t].width) / source.width();
        ShrinkBitmap(check, ratio);
        const double w = check.width(), h = check.height();
        const double traffic = 3.0 * source.width() * source.height() + 2 * 3.0 * w * source.height() + 3.0 * w * h;
        const double floor = traffic / bandwidth;
        const double referenceTime = median(times[t][kernels.size()]);
        std::printf("6000x4000 -> %.0fx%.0f: traffic %.1f MB, floor %.2f ms, reference %.2f ms\n", w, h, traffic / 1e6,
                    floor * 1e3, referenceTime * 1e3);
        for (std::size_t k = 0; k < kernels.size(); ++k) {
            const double m = median(times[t][k]);
            std::printf("  %-9s %7.2f ms  speed-up %5.1fx  %.2fx the floor\n", kernels[k]->name, m * 1e3,
                        referenceTime / m, m / floor);
        }
    }
    return 0;
}
