// Finishes decoded rows on a second thread while the decoder makes the next
// ones. Converting a photograph's colours or turning it costs a good part of
// what libjpeg's decoding costs, and the machine's other core is otherwise
// idle while one picture loads. Rows are handed over in order from the top;
// the caller stays synchronous: it waits where it reuses memory the worker
// still reads, and finish() returns when every row is done. The worker is
// joined before the object goes, also when a decode fails half-way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tavo {

class RowPipeline {
public:
    // work(first, end) finishes stored rows first to end - 1 and must not
    // throw. It runs on the worker, or on the caller's thread when no thread
    // can be started.
    using Work = std::function<void(std::int32_t first, std::int32_t end)>;
    explicit RowPipeline(Work work);
    // Ends the worker: rows handed over but not yet begun stay as they are.
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // Rows before end are decoded and may be finished.
    void handOver(std::int32_t end);
    // Returns when the rows before end, as far as they are handed over, are finished.
    void waitFor(std::int32_t end);
    // Returns when every row handed over is finished; the worker has ended.
    void finish();

private:
    void run();
    void stop(bool abandon);

    Work work_;
    std::mutex mutex_;
    std::condition_variable handedOverChanged_;
    std::condition_variable doneChanged_;
    std::int32_t handedOver_ = 0;
    std::int32_t done_ = 0;
    bool finishing_ = false;
    bool abandoning_ = false;
    std::thread thread_;
};

} // namespace tavo
