// Decodes a generated 6-megapixel PNG the way the viewer does (file read,
// IsSupported, GetPictureInfo, GetPicture in the plug-in host, the pixels read
// by the BMP reader into the picture: TSPIBitmap::LoadFromFile) and, side by
// side, with libspng alone into memory (file read and decode). The host is
// started and the plug-in loaded before the timed runs, as for a viewer
// leafing through a folder; bench_plughost measures the start. The machine is
// shared and noisy, so the two alternate and the medians are compared.
// Usage: bench_png [pairs]
#include "plugins/SPIBitmap.h"
#include "plugins/SPIs.h"

#include "sdk/spi_plugin.h"

#include <dlfcn.h>
#include <unistd.h>
#include <spng.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kWidth = 3000, kHeight = 2000;

// Smooth gradients with a little noise: compresses about as well as a photo.
std::vector<std::uint8_t> writePicture(const std::string& path)
{
    std::vector<std::uint8_t> pixels(std::size_t(kWidth) * kHeight * 3);
    unsigned seed = 12345;
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            seed = seed * 1103515245 + 12345;
            const unsigned noise = (seed >> 16) & 7;
            std::uint8_t* p = &pixels[(std::size_t(y) * kWidth + x) * 3];
            p[0] = std::uint8_t(x * 255 / kWidth + noise);
            p[1] = std::uint8_t(y * 255 / kHeight + noise);
            p[2] = std::uint8_t((x + y) / 20 + noise);
        }
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{kWidth, kHeight, 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
    spng_set_ihdr(ctx, &ihdr);
    int error = spng_encode_image(ctx, pixels.data(), pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    std::size_t length = 0;
    void* png = error ? nullptr : spng_get_png_buffer(ctx, &length, &error);
    spng_ctx_free(ctx);
    if (png == nullptr) {
        std::fprintf(stderr, "encoding failed: %s\n", spng_strerror(error));
        std::exit(1);
    }
    std::ofstream(path, std::ios::binary).write(static_cast<const char*>(png), std::streamsize(length));
    std::free(png);
    return pixels;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The anchor: libspng alone, from the file into a fresh RGB buffer.
unsigned decodeWithSpng(const std::string& path)
{
    const std::vector<std::uint8_t> data = readFile(path);
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, data.data(), data.size());
    std::size_t size = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    auto* out = static_cast<std::uint8_t*>(std::malloc(size));
    const int error = spng_decode_image(ctx, out, size, SPNG_FMT_RGB8, 0);
    spng_ctx_free(ctx);
    const unsigned probe = error ? 0 : out[size / 2];
    std::free(out);
    return probe;
}

unsigned decodeThroughPlugin(const std::string& path)
{
    tavo::TSPIBitmap picture;
    picture.LoadFromFile(path);
    const auto& bitmap = picture.bitmap();
    return bitmap.pixelColor(bitmap.width() / 2, bitmap.height() / 2).green;
}

// The plug-in's own share: GetPicture on the file's bytes, the blocks freed.
unsigned decodeWithEntryPoint(decltype(&::GetPicture) getPicture, const std::string& path)
{
    const std::vector<std::uint8_t> data = readFile(path);
    HLOCAL info = nullptr, bits = nullptr;
    const int32_t result = getPicture(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                                      SPI_INPUT_MEMORY, &info, &bits, nullptr, 0);
    if (result != SPI_ALL_RIGHT)
        return 0;
    LocalFree(info);
    LocalFree(bits);
    return 1;
}

template <typename F>
double milliseconds(F&& f, unsigned& sink)
{
    const auto start = Clock::now();
    sink += f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this process and of its running children (the plug-in
// host), in milliseconds: less disturbed than the wall clock by the other
// work of a busy machine, though it misses the waits between the processes.
double cpuMilliseconds()
{
    timespec own{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
    double total = own.tv_sec * 1e3 + own.tv_nsec / 1e6;
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    for (long pid; children >> pid;) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
        double runNanoseconds = 0;
        if (stat >> runNanoseconds)
            total += runNanoseconds / 1e6;
    }
    return total;
}

template <typename F>
double cpuTime(F&& f, unsigned& sink)
{
    const double start = cpuMilliseconds();
    sink += f();
    return cpuMilliseconds() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    setenv("TAVO_SPI_HOST", TAVO_BINARY_DIR "/bin/tavotavo-spi-host", 0);
    const std::string path = (std::filesystem::temp_directory_path() / "tavotavo_bench_6mp.png").string();
    writePicture(path);
    std::printf("picture: %u x %u RGB, %ju bytes\n", kWidth, kHeight, std::uintmax_t(std::filesystem::file_size(path)));

    tavo::TSPIs registry;
    registry.AutoSearch = false;
    auto plugin = tavo::CreateSPI(std::string(TAVO_BINARY_DIR) + "/bin/ifpng.spi");
    if (!plugin) {
        std::fprintf(stderr, "bin/ifpng.spi did not load\n");
        return 1;
    }
    registry.Add(std::move(plugin));

    unsigned sink = 0;
    sink += decodeWithSpng(path) + decodeThroughPlugin(path); // warm the caches and the loader
    void* module = dlopen((std::string(TAVO_BINARY_DIR) + "/bin/ifpng.spi").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto getPicture = reinterpret_cast<decltype(&::GetPicture)>(dlsym(module, "GetPicture"));
    std::vector<double> anchor, host, entry, ratios, cpuRatios;
    for (int i = 0; i < pairs; ++i) {
        double a, h;
        if (i % 2 == 0) {
            a = milliseconds([&] { return decodeWithSpng(path); }, sink);
            h = milliseconds([&] { return decodeThroughPlugin(path); }, sink);
        } else {
            h = milliseconds([&] { return decodeThroughPlugin(path); }, sink);
            a = milliseconds([&] { return decodeWithSpng(path); }, sink);
        }
        entry.push_back(milliseconds([&] { return decodeWithEntryPoint(getPicture, path); }, sink));
        anchor.push_back(a);
        host.push_back(h);
        ratios.push_back(h / a);
        const double cpuHost = cpuTime([&] { return decodeThroughPlugin(path); }, sink);
        cpuRatios.push_back(cpuHost / cpuTime([&] { return decodeWithSpng(path); }, sink));
    }
    dlclose(module);
    std::printf("libspng alone (file read + decode):      median %.1f ms\n", median(anchor));
    std::printf("plug-in path (TSPIBitmap::LoadFromFile): median %.1f ms\n", median(host));
    std::printf("  the plug-in's GetPicture in-process:  median %.1f ms\n", median(entry));
    std::printf("ratio plug-in path / libspng: median of %d pairs %.3f (goal at most 1.10)\n", pairs, median(ratios));
    std::printf("  processor time of viewer and host / libspng's: median %.3f (waits not counted)\n",
                median(cpuRatios));
    std::filesystem::remove(path);
    return sink == 0xFFFFFFFFu; // keeps the work observable
}
