#include "plugins/ChildHostProcess.h"

#include "plugins/SPIErrors.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

namespace tavo {

namespace {

// Waits for the process for at most the given time; true with its status.
bool waitFor(pid_t pid, int* status, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t got = waitpid(pid, status, WNOHANG);
        if (got == pid || (got < 0 && errno != EINTR))
            return got == pid;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

void ChildHostProcess::finish(std::chrono::milliseconds limit)
{
    if (pid_ <= 0)
        return;
    int status = 0;
    if (waitFor(pid_, &status, limit))
        pid_ = -1;
    else
        kill();
}

void ChildHostProcess::kill()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
    pid_ = -1;
}

std::string ChildHostProcess::endReason(int* signal)
{
    if (pid_ > 0) {
        int status = 0;
        if (waitFor(pid_, &status, reapLimit_)) {
            status_ = status;
            pid_ = -1;
        } else {
            kill();
        }
    }
    *signal = 0;
    if (WIFSIGNALED(status_)) {
        *signal = WTERMSIG(status_);
        return describeSignal(*signal);
    }
    if (WIFEXITED(status_))
        return exitReason(WEXITSTATUS(status_), signal);
    return kNoResponseReason;
}

std::string ChildHostProcess::exitReason(int code, int* signal) const
{
    *signal = 0;
    return formatMessage(kExitCodeReason, std::to_string(code));
}

} // namespace tavo
