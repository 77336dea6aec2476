#include "viewer/core/StartupPicture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavo {

namespace {
// Palette ranges: a sky gradient, hill greens, sun yellows, frame greys.
constexpr int kSky = 0, kSkyCount = 128;
constexpr int kHill = 128, kHillCount = 64;
constexpr int kSun = 192, kSunCount = 32;
constexpr int kFrame = 224, kFrameCount = 32;

std::uint8_t mix(int from, int to, int step, int steps)
{
    return static_cast<std::uint8_t>(from + (to - from) * step / (steps - 1));
}

std::vector<PaletteEntry> landscapePalette()
{
    std::vector<PaletteEntry> palette(256);
    auto ramp = [&](int first, int count, PaletteEntry a, PaletteEntry b) {
        for (int i = 0; i < count; ++i)
            palette[first + i] = {mix(a.blue, b.blue, i, count), mix(a.green, b.green, i, count),
                                  mix(a.red, b.red, i, count), 0};
    };
    ramp(kSky, kSkyCount, {150, 70, 30, 0}, {215, 225, 250, 0});
    ramp(kHill, kHillCount, {40, 150, 70, 0}, {20, 70, 30, 0});
    ramp(kSun, kSunCount, {150, 245, 255, 0}, {40, 170, 250, 0});
    ramp(kFrame, kFrameCount, {90, 90, 90, 0}, {235, 235, 235, 0});
    return palette;
}

int skyIndex(int y) { return kSky + y * (kSkyCount - 1) / (kStartupPictureHeight - 1); }

// The two hill lines of one column, in rows from the top.
struct HillLines {
    int far;
    int near;
};

HillLines hillLines(int x)
{
    return {static_cast<int>(150 + 18 * std::sin(x / 37.0) + 9 * std::sin(x / 13.0 + 1.0)),
            static_cast<int>(185 + 14 * std::sin(x / 53.0 + 2.0))};
}

int hillIndex(const HillLines& hills, int y)
{
    if (y >= hills.near)
        return kHill + kHillCount / 2 +
               (y - hills.near) * (kHillCount / 2 - 1) / (kStartupPictureHeight - hills.near);
    if (y >= hills.far)
        return kHill + (y - hills.far) * (kHillCount / 2 - 1) / (kStartupPictureHeight - hills.far);
    return -1;
}

int sunIndex(int x, int y)
{
    const int dx = x - 236, dy = y - 74, radius = 30;
    const int d2 = dx * dx + dy * dy;
    if (d2 >= radius * radius)
        return -1;
    return kSun + static_cast<int>(std::sqrt(static_cast<double>(d2))) * (kSunCount - 1) / radius;
}

// A bevel that is light on the top and left edges and dark on the others.
int frameIndex(int x, int y)
{
    constexpr int width = 6;
    const int right = kStartupPictureWidth - 1 - x, bottom = kStartupPictureHeight - 1 - y;
    const int edge = std::min(std::min(x, y), std::min(right, bottom));
    if (edge >= width)
        return -1;
    const bool light = std::min(x, y) <= std::min(right, bottom);
    return kFrame + (light ? kFrameCount - 1 - edge : edge * 2);
}
} // namespace

Bitmap startupPicture()
{
    Bitmap picture(kStartupPictureWidth, kStartupPictureHeight, 8);
    picture.setPalette(landscapePalette());
    // The hill lines per column, computed once: the picture is made at every
    // start, before the first paint.
    std::vector<HillLines> hills(kStartupPictureWidth);
    for (int x = 0; x < kStartupPictureWidth; ++x)
        hills[x] = hillLines(x);
    for (int y = 0; y < kStartupPictureHeight; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (int x = 0; x < kStartupPictureWidth; ++x) {
            int index = frameIndex(x, y);
            if (index < 0)
                index = hillIndex(hills[x], y);
            if (index < 0)
                index = sunIndex(x, y);
            if (index < 0)
                index = skyIndex(y);
            row[x] = static_cast<std::uint8_t>(index);
        }
    }
    return picture;
}

} // namespace tavo
