// The instance lock "TavoTavo": an exclusive flock on a file in the runtime
// folder. Taking it is atomic, so of two copies started at once exactly one
// becomes the viewer, and the kernel drops it when the holder ends however it ends.
#pragma once

#include <optional>
#include <string>

namespace tavo::platform {

inline constexpr const char* kInstanceLockName = "TavoTavo";

class InstanceLock {
public:
    // The lock when this process took it, nothing when another process holds it.
    // Throws ESystemError when the lock file cannot be opened.
    static std::optional<InstanceLock> tryAcquire(const std::string& folder);

    // The lock held through a descriptor inherited from the process image this
    // one replaced. The descriptor must be the lock file of `folder`; the lock
    // is asserted again. Throws ESystemError.
    static InstanceLock adopt(int fd, const std::string& folder);

    // The descriptor, left open across the next exec so the program that
    // replaces this one keeps the lock. Throws ESystemError.
    int keepAcrossExec();

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace tavo::platform
