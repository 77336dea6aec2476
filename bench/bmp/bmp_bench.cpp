// Reads a generated 6000 × 4000 24-bit BMP (24 megapixels, 72 MB) with the
// built-in reader and, in the same rounds, copies the file's bytes the plain
// way: read the whole file into fresh memory, then memcpy it into a fresh pixel
// buffer of the bitmap's size. Also the stream form (ReadBmpStream on the bytes
// in memory) against a bare memcpy into a fresh pixel buffer. The two sides of
// each pair alternate within every round, so machine noise hits both; medians
// of the times and of the per-round ratios are printed.
//
//   build/bench/bmp_bench [rounds] [path of the generated file]
#include "imaging/BmpReader.h"
#include "platform/PixelMemory.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kWidth = 6000;
constexpr std::int32_t kHeight = 4000;

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> makeBmp()
{
    const std::uint32_t stride = (kWidth * 3 + 3) / 4 * 4;
    const std::uint32_t imageSize = stride * kHeight;
    std::vector<std::uint8_t> file{'B', 'M'};
    put32(file, 54 + imageSize);
    put32(file, 0);
    put32(file, 54);
    for (const std::uint32_t v : {40u, std::uint32_t(kWidth), std::uint32_t(kHeight)})
        put32(file, v);
    file.insert(file.end(), {1, 0, 24, 0});
    for (const std::uint32_t v : {0u, imageSize, 2835u, 2835u, 0u, 0u})
        put32(file, v);
    file.resize(54 + imageSize);
    std::uint32_t seed = 12345;
    for (std::size_t i = 54; i < file.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        file[i] = static_cast<std::uint8_t>(seed >> 24);
    }
    return file;
}

template <typename F>
double millis(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

volatile std::uint8_t sink;

// The anchor: the whole file into fresh memory, then one copy into the pixels.
void plainFileCopy(const std::string& path, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fread(bytes.get(), 1, size, f) != size)
        std::abort();
    std::fclose(f);
    tavo::platform::PixelMemory pixels(size - 54);
    std::memcpy(pixels.data(), bytes.get() + 54, size - 54);
    sink = pixels.data()[size / 2];
}

void plainMemoryCopy(const std::vector<std::uint8_t>& file)
{
    tavo::platform::PixelMemory pixels(file.size() - 54);
    std::memcpy(pixels.data(), file.data() + 54, file.size() - 54);
    sink = pixels.data()[file.size() / 2];
}

struct Pair {
    const char* name;
    std::vector<double> reader, anchor, ratio;
    void print() const
    {
        std::printf("%-28s reader %7.2f ms   anchor %7.2f ms   ratio (median of rounds) %.3f\n", name,
                    median(reader), median(anchor), median(ratio));
    }
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 21;
    const std::string path = argc > 2 ? argv[2]
                                      : (std::filesystem::temp_directory_path() / "tavo-bench-24mp.bmp").string();
    const std::vector<std::uint8_t> file = makeBmp();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size())
            return 1;
        std::fclose(f);
    }
    std::printf("%d x %d, 24 bits, %zu bytes, %d rounds\n", kWidth, kHeight, file.size(), rounds);

    Pair fromFile{"ReadBmpFile vs read+memcpy", {}, {}, {}};
    Pair fromMemory{"ReadBmpStream vs memcpy", {}, {}, {}};
    // One warm-up round puts the file in the page cache.
    for (int round = -1; round < rounds; ++round) {
        double r = 0, a = 0;
        auto reader = [&] { r = millis([&] { sink = tavo::ReadBmpFile(path).bits()[0]; }); };
        auto anchor = [&] { a = millis([&] { plainFileCopy(path, file.size()); }); };
        if (round % 2) { reader(); anchor(); } else { anchor(); reader(); }
        double sr = 0, sa = 0;
        auto streamReader = [&] { sr = millis([&] { sink = tavo::ReadBmpStream(file.data(), file.size()).bits()[0]; }); };
        auto streamAnchor = [&] { sa = millis([&] { plainMemoryCopy(file); }); };
        if (round % 2) { streamReader(); streamAnchor(); } else { streamAnchor(); streamReader(); }
        if (round < 0)
            continue;
        fromFile.reader.push_back(r);
        fromFile.anchor.push_back(a);
        fromFile.ratio.push_back(r / a);
        fromMemory.reader.push_back(sr);
        fromMemory.anchor.push_back(sa);
        fromMemory.ratio.push_back(sr / sa);
    }
    fromFile.print();
    fromMemory.print();
    std::filesystem::remove(path);
    return 0;
}
