// What the plug-in host costs: its start (process start and the READY
// message, then loading every shipped plug-in in bin/ and reading its texts,
// as the start-up search does) and one request's round trip. Medians of
// several runs. Usage: bench_plughost [runs]
#include "platform/SearchFolders.h"
#include "plugins/NativeHost.h"
#include "plugins/PluginHost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string bin = std::string(TAVO_BINARY_DIR) + "/bin";
    setenv("TAVO_SPI_HOST", (bin + "/tavotavo-spi-host").c_str(), 0);
    std::vector<std::string> plugins;
    for (const std::string& name : tavo::platform::findFiles(bin + "/", "*.spi"))
        plugins.push_back(bin + "/" + name);
    const tavo::NativeHostKind kind;
    std::vector<double> ready, loaded, roundTrip;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        tavo::PluginHost host(kind.start(), 1);
        ready.push_back(since(start));
        std::uint32_t last = 0;
        for (const std::string& path : plugins) {
            const tavo::LoadReply reply = host.load(path);
            last = reply.library;
            for (std::int32_t n = 0; reply.status == 0 && host.pluginInfo(reply.library, n, 255).result > 0; ++n) {
            }
        }
        loaded.push_back(since(start));
        constexpr int kCalls = 200;
        const auto calls = Clock::now();
        for (int i = 0; i < kCalls && last != 0; ++i)
            host.pluginInfo(last, 0, 255);
        roundTrip.push_back(since(calls) * 1000 / kCalls);
    }
    std::printf("plug-ins in bin/: %zu\n", plugins.size());
    std::printf("host start to READY:                  median %.2f ms\n", median(ready));
    std::printf("host start and every plug-in loaded:  median %.2f ms\n", median(loaded));
    std::printf("one request round trip:               median %.1f us\n", median(roundTrip));
    return 0;
}
