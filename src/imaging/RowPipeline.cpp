#include "imaging/RowPipeline.h"

#include <system_error>
#include <utility>

namespace tavo {

RowPipeline::RowPipeline(Work work, Idle idle) : work_(std::move(work)), idle_(std::move(idle))
{
    try {
        thread_ = std::thread(&RowPipeline::run, this);
    } catch (const std::system_error&) {
        // Without a thread the runs are finished as they are handed over.
    }
}

RowPipeline::~RowPipeline() { stop(true); }

void RowPipeline::handOver(std::int32_t end)
{
    if (!thread_.joinable()) {
        work_(begun_, end);
        begun_ = end;
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(end);
    }
    handedOverChanged_.notify_one();
}

bool RowPipeline::finished(std::int32_t end) const
{
    return (end <= begun_ || waiting_.empty()) && !(workerBusy_ && workerFirst_ < end);
}

void RowPipeline::waitFor(std::int32_t end)
{
    std::unique_lock lock(mutex_);
    while (!finished(end)) {
        if (!waiting_.empty() && begun_ < end) {
            // The worker has not begun this run: the caller is quicker.
            const std::int32_t first = begun_;
            const std::int32_t runEnd = waiting_.front();
            waiting_.pop_front();
            begun_ = runEnd;
            lock.unlock();
            work_(first, runEnd);
            lock.lock();
        } else {
            workerDone_.wait(lock);
        }
    }
}

void RowPipeline::finish()
{
    if (!thread_.joinable())
        return;
    std::int32_t end = 0;
    {
        const std::lock_guard lock(mutex_);
        end = waiting_.empty() ? begun_ : waiting_.back();
    }
    waitFor(end);
    stop(false);
}

void RowPipeline::stop(bool abandon)
{
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
        abandoning_ = abandon;
    }
    handedOverChanged_.notify_one();
    thread_.join();
}

void RowPipeline::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        while (idle_ && waiting_.empty() && !finishing_) {
            lock.unlock();
            const bool more = idle_();
            lock.lock();
            if (!more)
                idle_ = nullptr;
        }
        handedOverChanged_.wait(lock, [&] { return !waiting_.empty() || finishing_; });
        if (abandoning_ || waiting_.empty())
            return;
        const std::int32_t first = begun_;
        const std::int32_t end = waiting_.front();
        waiting_.pop_front();
        begun_ = end;
        workerBusy_ = true;
        workerFirst_ = first;
        lock.unlock();
        work_(first, end);
        lock.lock();
        workerBusy_ = false;
        workerDone_.notify_one();
    }
}

} // namespace tavo
