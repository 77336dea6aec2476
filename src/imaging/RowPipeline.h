// Finishes decoded rows on a second thread while the decoder makes the next
// ones. Converting a photograph's colours or turning it costs a good part of
// what libjpeg's decoding costs, and the machine's other core is often idle
// while one picture loads. Rows are handed over in order from the top, in
// runs; the caller stays synchronous: where it must wait for rows, it
// finishes the runs the worker has not begun itself, so that a busy second
// core costs little more than doing everything on one. The worker is joined
// before the object goes, also when a decode fails half-way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tavo {

class RowPipeline {
public:
    // work(first, end) finishes stored rows first to end - 1, one run handed
    // over, and must not throw. It runs on the worker or on the caller's
    // thread, on separate runs at the same time.
    using Work = std::function<void(std::int32_t first, std::int32_t end)>;
    // idle(), when given, is what the worker does while no run waits, a step
    // per call, until it returns false; it must not throw either.
    using Idle = std::function<bool()>;
    explicit RowPipeline(Work work, Idle idle = {});
    // Ends the worker: runs not yet begun stay as they are.
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // The rows from the end of the last run to end are decoded: a new run.
    void handOver(std::int32_t end);
    // Returns when the rows before end, as far as they are handed over, are
    // finished.
    void waitFor(std::int32_t end);
    // Returns when every row handed over is finished; the worker has ended.
    void finish();

private:
    void run();
    void stop(bool abandon);
    bool finished(std::int32_t end) const;

    Work work_;
    Idle idle_; // the worker's alone once it runs
    std::mutex mutex_;
    std::condition_variable handedOverChanged_;
    std::condition_variable workerDone_;
    // Ends of the runs handed over and not yet begun, in order.
    std::deque<std::int32_t> waiting_;
    // Rows begun by either thread; all of them are finished but the
    // worker's run, when it has one.
    std::int32_t begun_ = 0;
    bool workerBusy_ = false;
    std::int32_t workerFirst_ = 0;
    bool finishing_ = false;
    bool abandoning_ = false;
    std::thread thread_;
};

} // namespace tavo
