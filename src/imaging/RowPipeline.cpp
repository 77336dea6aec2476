#include "imaging/RowPipeline.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tavo {

RowPipeline::RowPipeline(Work work) : work_(std::move(work))
{
    try {
        thread_ = std::thread(&RowPipeline::run, this);
    } catch (const std::system_error&) {
        // Without a thread the rows are finished as they are handed over.
    }
}

RowPipeline::~RowPipeline() { stop(true); }

void RowPipeline::handOver(std::int32_t end)
{
    if (!thread_.joinable()) {
        work_(handedOver_, end);
        handedOver_ = done_ = end;
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        handedOver_ = end;
    }
    handedOverChanged_.notify_one();
}

void RowPipeline::waitFor(std::int32_t end)
{
    std::unique_lock lock(mutex_);
    doneChanged_.wait(lock, [&] { return done_ >= std::min(end, handedOver_); });
}

void RowPipeline::finish() { stop(false); }

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
        handedOverChanged_.wait(lock, [&] { return handedOver_ > done_ || finishing_; });
        if (abandoning_ || handedOver_ == done_)
            return;
        const std::int32_t first = done_;
        const std::int32_t end = handedOver_;
        lock.unlock();
        work_(first, end);
        lock.lock();
        done_ = end;
        doneChanged_.notify_one();
    }
}

} // namespace tavo
