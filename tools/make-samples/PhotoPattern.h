// A deterministic photo-like picture: a sky gradient with a sun, textured
// hills under a hard horizon, a house with sharp edges, and fine grain. It
// gives JPEG coders what photographs give them (smooth areas, texture and
// edges) without shipping anyone's photograph. Shared by the sample maker,
// the decoder tests and the decode benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tavo::samples {

inline std::uint32_t latticeHash(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

// Value noise in [0, 1): lattice values blended with a smooth step.
inline float valueNoise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    const float tx = x - fx, ty = y - fy;
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    auto at = [&](std::int32_t dx, std::int32_t dy) {
        return static_cast<float>(latticeHash(ix + dx, iy + dy, seed) >> 8) / 16777216.0f;
    };
    const float top = at(0, 0) + (at(1, 0) - at(0, 0)) * sx;
    const float bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * sx;
    return top + (bottom - top) * sy;
}

struct Rgb {
    std::uint8_t red, green, blue;
};

inline std::uint8_t clampByte(float value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
}

// The colour at (x, y) of a width × height picture; the scene scales with the size.
inline Rgb photoPixel(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    const float u = static_cast<float>(x) / static_cast<float>(width);
    const float v = static_cast<float>(y) / static_cast<float>(height);
    const float scale = static_cast<float>(std::min(width, height));
    const float px = static_cast<float>(x) / scale, py = static_cast<float>(y) / scale;
    const float grain = (static_cast<float>(latticeHash(x, y, 7) & 15) - 7.5f) * 0.8f;

    const float horizon = 0.58f + 0.06f * std::sin(u * 7.0f) + 0.03f * std::sin(u * 19.0f + 1.0f);
    float r, g, b;
    if (v < horizon) {
        // Sky: deep blue at the top to a pale haze at the horizon, a sun with a glow.
        const float t = v / horizon;
        r = 40 + 170 * t;
        g = 90 + 130 * t;
        b = 190 + 50 * t;
        const float dx = u - 0.72f, dy = (v - 0.22f) * static_cast<float>(height) / static_cast<float>(width);
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < 0.045f) {
            r = 255, g = 246, b = 210;
        } else {
            const float glow = std::exp(-(d - 0.045f) * 18.0f);
            r += (255 - r) * glow;
            g += (235 - g) * glow * 0.9f;
            b += (180 - b) * glow * 0.5f;
        }
        const float cloud = valueNoise(px * 3.0f, py * 9.0f, 3);
        if (cloud > 0.62f) {
            const float c = std::min(1.0f, (cloud - 0.62f) * 5.0f);
            r += (245 - r) * c, g += (245 - g) * c, b += (250 - b) * c;
        }
    } else {
        // Hills: green and brown texture of two octaves, darker towards the front.
        const float n = 0.65f * valueNoise(px * 12.0f, py * 12.0f, 1) + 0.35f * valueNoise(px * 48.0f, py * 48.0f, 2);
        const float depth = (v - horizon) / (1.0f - horizon);
        r = (70 + 90 * n) * (1.0f - 0.35f * depth);
        g = (110 + 90 * n) * (1.0f - 0.30f * depth);
        b = (40 + 40 * n) * (1.0f - 0.40f * depth);
    }
    // A house with a red roof and lit windows: hard edges and flat colours.
    const float hx0 = 0.18f, hx1 = 0.38f, hy0 = 0.50f, hy1 = 0.80f;
    if (u >= hx0 && u < hx1 && v >= hy0 && v < hy1) {
        r = 225, g = 215, b = 190;
        const float wu = (u - hx0) / (hx1 - hx0), wv = (v - hy0) / (hy1 - hy0);
        const bool window = (std::fmod(wu * 4.0f, 1.0f) > 0.3f && std::fmod(wu * 4.0f, 1.0f) < 0.75f)
            && (std::fmod(wv * 3.0f, 1.0f) > 0.25f && std::fmod(wv * 3.0f, 1.0f) < 0.7f);
        if (window)
            r = 255, g = 220, b = 90;
    }
    const float roofTop = 0.38f, mid = (hx0 + hx1) / 2;
    if (v >= roofTop && v < hy0 && std::abs(u - mid) < (hx1 - hx0) / 2 * (v - roofTop) / (hy0 - roofTop) + 0.01f) {
        r = 170, g = 40, b = 30;
    }
    // A thin dark pole: a one-to-two pixel edge at most sizes.
    if (std::abs(u - 0.55f) < 0.0015f && v > horizon - 0.25f)
        r = g = b = 30;
    return {clampByte(r + grain), clampByte(g + grain), clampByte(b + grain)};
}

// Interleaved red, green, blue rows, top row first, no padding.
inline std::vector<std::uint8_t> photoRgb(std::int32_t width, std::int32_t height)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    std::size_t at = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Rgb c = photoPixel(x, y, width, height);
            rgb[at++] = c.red;
            rgb[at++] = c.green;
            rgb[at++] = c.blue;
        }
    }
    return rgb;
}

} // namespace tavo::samples
