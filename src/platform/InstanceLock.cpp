#include "platform/InstanceLock.h"

#include "platform/SystemError.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavo::platform {

std::optional<InstanceLock> InstanceLock::tryAcquire(const std::string& folder)
{
    const std::string path = folder + "/" + kInstanceLockName;
    // The file is never removed: unlinking a lock file lets a third process lock
    // a fresh inode while the second still holds the old one.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw ESystemError("cannot open " + path, errno);
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return InstanceLock(fd);
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK)
        return std::nullopt;
    throw ESystemError("cannot lock " + path, error);
}

InstanceLock InstanceLock::adopt(int fd, const std::string& folder)
{
    const std::string path = folder + "/" + kInstanceLockName;
    struct stat held {}, named {};
    if (fstat(fd, &held) != 0 || lstat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev
        || held.st_ino != named.st_ino)
        throw ESystemError("descriptor " + std::to_string(fd) + " is not " + path, EBADF);
    // Re-locking through a descriptor that holds the lock succeeds at once.
    if (fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0)
        throw ESystemError("cannot lock " + path, errno);
    return InstanceLock(fd);
}

int InstanceLock::keepAcrossExec()
{
    if (fcntl(fd_, F_SETFD, 0) != 0)
        throw ESystemError("cannot keep the instance lock", errno);
    return fd_;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        close(fd_);
}

} // namespace tavo::platform
