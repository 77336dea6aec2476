#include "platform/HandOverClient.h"

#include "platform/HandOverAddress.h"

#include <poll.h>
#include <unistd.h>
#include <utility>

namespace tavo::platform {

namespace {

// Waits for `events` on fd until `deadline`; false on time-out or error.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

std::optional<HandOverConnection> HandOverConnection::connect(const std::string& folder)
{
    const sockaddr_un address = handOverAddress(handOverSocketPath(folder));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ESystemError("cannot create a socket", errno);
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return std::nullopt; // no socket yet, or one that nobody listens on
    }
    return HandOverConnection(fd);
}

HandOverConnection::HandOverConnection(HandOverConnection&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

HandOverConnection::~HandOverConnection()
{
    if (fd_ >= 0)
        close(fd_);
}

HandOverReply HandOverConnection::exchange(const std::string& bytes, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(fd_, POLLOUT, deadline))
            return HandOverReply::kNoReply;
        const ssize_t written = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written < 0)
            return HandOverReply::kClosed;
        sent += static_cast<std::size_t>(written);
    }
    for (;;) {
        if (!waitFor(fd_, POLLIN, deadline))
            return HandOverReply::kNoReply;
        char reply = 0;
        const ssize_t got = recv(fd_, &reply, 1, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got != 1)
            return HandOverReply::kClosed;
        return reply == kReplyHandled ? HandOverReply::kHandled : HandOverReply::kRefused;
    }
}

} // namespace tavo::platform
