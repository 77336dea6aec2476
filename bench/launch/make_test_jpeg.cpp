// Writes the launch benchmark's picture: a photo-sized JPEG (default 6000 ×
// 4000) whose every pixel is clearly magenta, textured with smooth and fine
// noise so that it compresses and decodes like a photograph. The probe knows
// the picture is on screen when it sees that colour.
//   launch_make_jpeg PATH [WIDTH HEIGHT]
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {
std::uint32_t hash(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x85ebca6bu;
    return h ^ (h >> 16);
}

// Value noise on a grid of the given cell size, in [0, 1).
double smoothNoise(int x, int y, int cell)
{
    const int gx = x / cell, gy = y / cell;
    const double fx = double(x % cell) / cell, fy = double(y % cell) / cell;
    auto at = [](int i, int j) { return (hash(i, j) & 0xFFFF) / 65536.0; };
    const double top = at(gx, gy) * (1 - fx) + at(gx + 1, gy) * fx;
    const double bottom = at(gx, gy + 1) * (1 - fx) + at(gx + 1, gy + 1) * fx;
    return top * (1 - fy) + bottom * fy;
}
JSAMPLE clampByte(int value) { return static_cast<JSAMPLE>(std::clamp(value, 0, 255)); }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s PATH [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    const int width = argc == 4 ? std::atoi(argv[2]) : 6000;
    const int height = argc == 4 ? std::atoi(argv[3]) : 4000;
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double shade = 0.6 * smoothNoise(x, y, 97) + 0.4 * smoothNoise(x, y, 23);
            const int grain = static_cast<int>(hash(x, y) % 25) - 12;
            const int light = static_cast<int>(shade * 70) + grain;
            row[3 * x] = clampByte(180 + light);
            row[3 * x + 1] = clampByte(20 + light / 2);
            row[3 * x + 2] = clampByte(170 + light);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    return 0;
}
