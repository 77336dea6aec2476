// What the fault guard costs: a guarded call of an empty function against a
// direct call, a whole load through a test plug-in for scale, and a fork for
// comparison with decoding in a child process.
#include "TestPlugin.h"
#include "platform/FaultGuard.h"
#include "plugins/SPIBitmap.h"
#include "plugins/SPIs.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int counter = 0;

__attribute__((noinline)) void emptyCall(void*)
{
    benchmark::DoNotOptimize(++counter);
}

void BM_DirectCall(benchmark::State& state)
{
    void (*volatile call)(void*) = emptyCall;
    for (auto _ : state)
        call(nullptr);
}
BENCHMARK(BM_DirectCall);

void BM_GuardedCall(benchmark::State& state)
{
    tavo::platform::FaultReport report;
    for (auto _ : state)
        benchmark::DoNotOptimize(tavo::platform::runGuarded(emptyCall, nullptr, &report));
}
BENCHMARK(BM_GuardedCall);

// For comparison, the least a decode in a child process would add per load:
// one fork and wait, before any result is copied back.
void BM_ForkAndWait(benchmark::State& state)
{
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0)
            _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
    }
}
BENCHMARK(BM_ForkAndWait)->Unit(benchmark::kMicrosecond);

std::vector<uint8_t> testPicture(int32_t width, int32_t height)
{
    std::vector<uint8_t> bytes(4096, 0);
    std::memcpy(bytes.data(), "TPIC", 4);
    std::memcpy(bytes.data() + TPIC_WIDTH, &width, 4);
    std::memcpy(bytes.data() + TPIC_HEIGHT, &height, 4);
    bytes[TPIC_BITCOUNT] = 24;
    return bytes;
}

// A load of a small and of a 1-megapixel picture: file in memory, IsSupported,
// GetPictureInfo, GetPicture (three guarded calls), BMP image, BMP reader.
void BM_LoadThroughPlugin(benchmark::State& state)
{
    tavo::TSPIs spis;
    spis.Add(tavo::CreateSPI(std::string(TAVO_TEST_PLUGIN_DIR) + "/tpc.spi"));
    const auto side = static_cast<int32_t>(state.range(0));
    const auto data = testPicture(side, side);
    for (auto _ : state) {
        tavo::TSPIBitmap bitmap;
        bitmap.LoadFromNamedStream(data, "bench.tpc");
        benchmark::DoNotOptimize(bitmap.bitmap().bits());
    }
}
BENCHMARK(BM_LoadThroughPlugin)->Arg(16)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
