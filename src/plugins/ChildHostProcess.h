// What every kind of host process shares as a child of this process: how it
// is reaped, how it is ended, and how its end is worded.
#pragma once

#include "plugins/HostChannel.h"

#include <sys/types.h>

#include <chrono>

namespace tavo {

class ChildHostProcess : public HostProcess {
public:
    void kill() override;
    std::string endReason(int* signal) override;

protected:
    // reapLimit: how long endReason waits for a process whose stream has
    // closed a moment before it is gone.
    ChildHostProcess(pid_t pid, std::chrono::milliseconds reapLimit) : pid_(pid), reapLimit_(reapLimit) {}
    // For a destructor, once the channel is closed (which lets the host leave
    // by itself): waits up to limit, then ends the process.
    void finish(std::chrono::milliseconds limit);
    // The reason for an exit with this code; *signal is set when the code
    // stands for a signal.
    virtual std::string exitReason(int code, int* signal) const;

private:
    pid_t pid_;
    int status_ = 0;
    std::chrono::milliseconds reapLimit_;
};

} // namespace tavo
