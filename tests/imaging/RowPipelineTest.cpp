// The second thread of the decoders: every row handed over is finished once,
// in order from the top, before finish() returns; waitFor() returns only when
// its rows are finished; an object given up half-way (a failed decode) ends
// its worker without finishing more than it had begun.
#include "imaging/RowPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tavo {
namespace {

TEST(RowPipeline, FinishesEveryRowOnceInOrderAndWaitsWhereAsked)
{
    constexpr std::int32_t kRows = 1000;
    std::vector<int> finished(kRows, 0);
    std::int32_t next = 0;
    bool inOrder = true;
    RowPipeline pipeline([&](std::int32_t first, std::int32_t end) {
        inOrder = inOrder && first == next && end > first;
        for (std::int32_t y = first; y < end; ++y)
            ++finished[y];
        next = end;
    });
    pipeline.waitFor(0);
    for (std::int32_t end = 7;; end = std::min(end + 7, kRows)) {
        pipeline.handOver(end);
        if (end % 91 == 0) {
            pipeline.waitFor(end - 13);
            EXPECT_EQ(finished[end - 14], 1) << end;
        }
        if (end == kRows)
            break;
    }
    pipeline.finish();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(next, kRows);
    EXPECT_EQ(std::count(finished.begin(), finished.end(), 1), kRows);
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
