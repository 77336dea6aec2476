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
