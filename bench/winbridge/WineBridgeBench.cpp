// A 6-megapixel picture through a warm Windows plug-in bridge under Wine
// against the same plug-in code built natively through the native host, side
// by side in one run; medians of the whole load (file read to bitmap).
//   winbridge_bench [ROUNDS]     (needs wine64 and the cross-built parts)
// The Windows build claims .ttr, the native build (another identity of the
// same source) .max: the same bytes under the two names reach each first.
#include "TtrPictures.h"
#include "platform/WineRuntime.h"
#include "plugins/PluginDecoding.h"
#include "plugins/SPIs.h"
#include "plugins/WineHost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

static double timedDecode(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const tavo::Bitmap bitmap = tavo::decodeThroughPlugins(path);
    const auto end = std::chrono::steady_clock::now();
    if (bitmap.width() != 3000 || bitmap.height() != 2000)
        std::abort();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    if (tavo::platform::wineLoader(64).empty()) {
        std::fprintf(stderr, "wine64 is not installed\n");
        return 77;
    }
    std::string pattern = "/tmp/tavo-winbench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return 1;
    const std::string folder = pattern;
    // The prefix of the user's cache, made once and kept: a benchmark of the
    // warm bridge should not pay for it.
    setenv("TAVO_SPI_HOST", TAVO_BINARY_DIR "/bin/tavotavo-spi-host", 1);
    setenv("TAVO_SPI_BRIDGES", TAVO_BINARY_DIR "/bin", 1);
    fs::copy_file(TAVO_BINARY_DIR "/tests/winplugins/ttr64.sph", folder + "/ttr64.sph");
    fs::copy_file(TAVO_BINARY_DIR "/bench/ttrmax.spi", folder + "/ttrmax.spi");
    tavo::test::TtrPicture picture;
    picture.width = 3000;
    picture.height = 2000;
    picture.flags = TTR_PROGRESS;
    picture.write(folder + "/six.ttr");
    fs::copy_file(folder + "/six.ttr", folder + "/six.max");
    {
        tavo::TSPIs registry;
        registry.AutoSearch = false;
        registry.Loaded();
        registry.Search(folder + "/*.spi");
        std::vector<double> bridge, native;
        timedDecode(folder + "/six.ttr"); // starts the bridge
        timedDecode(folder + "/six.max");
        for (int i = 0; i < rounds; ++i) {
            bridge.push_back(timedDecode(folder + "/six.ttr"));
            native.push_back(timedDecode(folder + "/six.max"));
        }
        std::printf("6-megapixel 24-bit picture, %d rounds, medians:\n", rounds);
        std::printf("  warm bridge under Wine (x86-64): %8.1f ms\n", median(bridge));
        std::printf("  native host, same plug-in code:  %8.1f ms\n", median(native));
        std::printf("  ratio: %.2f\n", median(bridge) / median(native));
    }
    fs::remove_all(folder);
    return 0;
}
