#include "platform/HandOverServer.h"

#include "platform/HandOverAddress.h"

#include <algorithm>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavo::platform {

namespace {

void sendReply(int fd, char reply)
{
    // The client may be gone: MSG_NOSIGNAL turns that into an error we ignore.
    [[maybe_unused]] const ssize_t sent = send(fd, &reply, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool peerIsThisUser(int fd)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0
        && credentials.uid == geteuid();
}

} // namespace

ReceivedHandOver::ReceivedHandOver(HandOverKind kind, std::string path, int fd)
    : kind_(kind), path_(std::move(path)), fd_(fd)
{
}

ReceivedHandOver::ReceivedHandOver(ReceivedHandOver&& other) noexcept
    : kind_(other.kind_), path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1))
{
}

ReceivedHandOver::~ReceivedHandOver()
{
    if (fd_ < 0)
        return;
    sendReply(fd_, kReplyHandled);
    close(fd_);
}

HandOverServer::HandOverServer(const std::string& folder) : path_(handOverSocketPath(folder))
{
    const sockaddr_un address = handOverAddress(path_);
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw ESystemError("cannot create a socket", errno);
    // A socket file left behind by a copy that crashed refuses connections; the
    // lock holder is the only one who may replace it.
    unlink(path_.c_str());
    struct stat info {};
    if (bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || listen(listenFd_, 64) != 0 || lstat(path_.c_str(), &info) != 0) {
        const int error = errno;
        close(listenFd_);
        throw ESystemError("cannot listen on " + path_, error);
    }
    inode_ = info.st_ino;
    epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.fd = listenFd_;
    if (epollFd_ < 0 || epoll_ctl(epollFd_, EPOLL_CTL_ADD, listenFd_, &event) != 0) {
        const int error = errno;
        if (epollFd_ >= 0)
            close(epollFd_);
        close(listenFd_);
        unlink(path_.c_str());
        throw ESystemError("cannot watch " + path_, error);
    }
}

HandOverServer::~HandOverServer()
{
    for (const auto& entry : connections_)
        close(entry.first);
    close(epollFd_);
    close(listenFd_);
    // Remove the socket only if it is still the one we bound.
    struct stat info {};
    if (lstat(path_.c_str(), &info) == 0 && info.st_ino == inode_)
        unlink(path_.c_str());
}

std::vector<ReceivedHandOver> HandOverServer::service(Clock::time_point now)
{
    std::vector<ReceivedHandOver> requests;
    epoll_event events[32];
    int count;
    while ((count = epoll_wait(epollFd_, events, 32, 0)) > 0) {
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listenFd_) {
                acceptPending(now);
                updateListening();
                continue;
            }
            auto found = connections_.find(fd);
            if (found == connections_.end())
                continue;
            bool finished = false;
            if (auto request = readFrom(fd, found->second, finished))
                requests.push_back(std::move(*request));
            if (finished)
                connections_.erase(fd);
        }
        if (count < 32)
            break;
    }
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->second.deadline <= now) {
            close(it->first);
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    updateListening();
    return requests;
}

std::optional<std::chrono::milliseconds> HandOverServer::nextTimeout(Clock::time_point now) const
{
    if (connections_.empty())
        return std::nullopt;
    auto earliest = connections_.begin()->second.deadline;
    for (const auto& entry : connections_)
        earliest = std::min(earliest, entry.second.deadline);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - now);
    return std::max(left, std::chrono::milliseconds{0});
}

void HandOverServer::acceptPending(Clock::time_point now)
{
    while (connections_.size() < kMaxConnections) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN: nothing more waiting; anything else: try again next time
        }
        epoll_event event {};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = fd;
        if (!peerIsThisUser(fd) || epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event) != 0) {
            close(fd);
            continue;
        }
        connections_[fd] = Connection{{}, std::nullopt, now + kRequestTimeout};
    }
}

void HandOverServer::updateListening()
{
    // With every slot taken, further clients wait in the listen queue: the
    // socket is not watched, so it cannot keep the event loop spinning.
    const bool wanted = connections_.size() < kMaxConnections;
    if (wanted == listening_)
        return;
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.fd = listenFd_;
    if (epoll_ctl(epollFd_, wanted ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, listenFd_, &event) == 0)
        listening_ = wanted;
}

std::optional<ReceivedHandOver> HandOverServer::readFrom(int fd, Connection& connection, bool& finished)
{
    for (;;) {
        // Never read past the request: what the client sends after it is not ours.
        const std::size_t wanted = connection.header
            ? kHandOverHeaderSize + connection.header->length - connection.buffer.size()
            : kHandOverHeaderSize - connection.buffer.size();
        char chunk[4096];
        const ssize_t got = recv(fd, chunk, std::min(wanted, sizeof chunk), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return std::nullopt;
        if (got <= 0) { // hung up early, or a connection error
            finished = true;
            drop(fd);
            return std::nullopt;
        }
        connection.buffer.append(chunk, static_cast<std::size_t>(got));
        if (!connection.header) {
            if (connection.buffer.size() < kHandOverHeaderSize)
                continue;
            connection.header = decodeHandOverHeader(connection.buffer);
            if (!connection.header) {
                finished = true;
                drop(fd, kReplyRefused);
                return std::nullopt;
            }
        }
        if (connection.buffer.size() < kHandOverHeaderSize + connection.header->length)
            continue;
        finished = true;
        std::string path = connection.buffer.substr(kHandOverHeaderSize);
        if (connection.header->kind == HandOverKind::kOpenFile && !isValidHandOverPath(path)) {
            drop(fd, kReplyRefused);
            return std::nullopt;
        }
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
        return ReceivedHandOver(connection.header->kind, std::move(path), fd);
    }
}

void HandOverServer::drop(int fd, char reply)
{
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    if (reply != 0)
        sendReply(fd, reply);
    close(fd);
}

} // namespace tavo::platform
