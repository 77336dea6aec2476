// The second thread of the decoders: every run of rows handed over is
// finished once, as handed over, before finish() returns, by whichever
// thread; waitFor() returns only when its rows are finished; an object given
// up half-way (a failed decode) ends its worker without finishing more than
// it had begun.
#include "imaging/RowPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace tavo {
namespace {

TEST(RowPipeline, FinishesEveryRunOnceAsHandedOverAndWaitsWhereAsked)
{
    constexpr std::int32_t kRows = 1000;
    // Per row: how often it was finished, and the first row of its run.
    std::vector<int> finished(kRows, 0);
    std::vector<std::int32_t> runOf(kRows, -1);
    RowPipeline pipeline([&](std::int32_t first, std::int32_t end) {
        for (std::int32_t y = first; y < end; ++y) {
            ++finished[y];
            runOf[y] = first;
        }
    });
    pipeline.waitFor(0);
    std::vector<std::int32_t> runs;
    for (std::int32_t first = 0; first < kRows;) {
        const std::int32_t end = std::min(first + 1 + first % 13, kRows);
        pipeline.handOver(end);
        runs.push_back(first);
        if (runs.size() % 7 == 0) {
            pipeline.waitFor(end - 3);
            EXPECT_EQ(finished[end - 4], 1) << end;
        }
        first = end;
    }
    pipeline.finish();
    EXPECT_EQ(std::count(finished.begin(), finished.end(), 1), kRows);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::int32_t end = i + 1 < runs.size() ? runs[i + 1] : kRows;
        for (std::int32_t y = runs[i]; y < end; ++y)
            ASSERT_EQ(runOf[y], runs[i]) << "row " << y;
    }
}

// The idle work runs between runs, a step at a time, and never again once it
// has said it is done; runs handed over meanwhile are still all finished.
TEST(RowPipeline, IdleWorkStepsUntilDoneBetweenRuns)
{
    std::atomic<int> steps{0};
    std::vector<int> finished(64, 0);
    RowPipeline pipeline(
        [&](std::int32_t first, std::int32_t end) {
            for (std::int32_t y = first; y < end; ++y)
                ++finished[y];
        },
        [&] { return ++steps < 5; });
    pipeline.handOver(32);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (steps < 5 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pipeline.handOver(64);
    pipeline.finish();
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(std::count(finished.begin(), finished.end(), 1), 64);
}

TEST(RowPipeline, GivenUpHalfWayEndsItsWorker)
{
    for (int round = 0; round < 20; ++round) {
        std::vector<int> finished(400, 0);
        {
            RowPipeline pipeline([&](std::int32_t first, std::int32_t end) {
                for (std::int32_t y = first; y < end; ++y)
                    ++finished[y];
            });
            for (std::int32_t end = 16; end <= 400; end += 16)
                pipeline.handOver(end);
        }
        // Whatever the worker had begun is a run of whole rows from the top.
        const auto done = std::find(finished.begin(), finished.end(), 0);
        EXPECT_TRUE(std::all_of(finished.begin(), done, [](int n) { return n == 1; }));
        EXPECT_TRUE(std::all_of(done, finished.end(), [](int n) { return n == 0; }));
    }
}

} // namespace
} // namespace tavo
