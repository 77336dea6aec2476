// The viewer's end of the hand-over socket. Everything is non-blocking: the
// caller watches one descriptor (readable when there is work) and calls
// service(), which accepts, reads and validates as far as the data allows.
// A client that sends a bad request is answered with a refusal; one that stays
// silent or hangs up early is dropped; none of them can hold up the viewer.
#pragma once

#include "platform/HandOverProtocol.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavo::platform {

// A complete, valid request. Destroying it sends the reply and closes the
// connection, so the client learns the request was handled only after the
// handler ran, also when the handler ended with an exception.
class ReceivedHandOver {
public:
    ReceivedHandOver(HandOverKind kind, std::string path, int fd);
    ReceivedHandOver(ReceivedHandOver&& other) noexcept;
    ReceivedHandOver& operator=(ReceivedHandOver&&) = delete;
    ReceivedHandOver(const ReceivedHandOver&) = delete;
    ReceivedHandOver& operator=(const ReceivedHandOver&) = delete;
    ~ReceivedHandOver();

    HandOverKind kind() const { return kind_; }
    const std::string& path() const { return path_; }

private:
    HandOverKind kind_;
    std::string path_;
    int fd_;
};

class HandOverServer {
public:
    using Clock = std::chrono::steady_clock;

    // Time a client has from being accepted to delivering its whole request.
    static constexpr std::chrono::milliseconds kRequestTimeout{2000};
    // Connections served at once; further ones wait in the listen queue.
    static constexpr std::size_t kMaxConnections = 16;

    // Binds the socket kHandOverSocketName in `folder`, replacing a stale one
    // left by a copy that died. Only the holder of the instance lock may do this.
    // Throws ESystemError.
    explicit HandOverServer(const std::string& folder);
    HandOverServer(const HandOverServer&) = delete;
    HandOverServer& operator=(const HandOverServer&) = delete;
    ~HandOverServer();

    // Readable whenever service() has something to do.
    int notifyFd() const { return epollFd_; }

    // Does all the work that is ready without waiting; returns the requests that
    // are complete, oldest first. Also drops clients whose time is up.
    std::vector<ReceivedHandOver> service(Clock::time_point now = Clock::now());

    // How long until the next client's time is up, when one is waiting.
    std::optional<std::chrono::milliseconds> nextTimeout(Clock::time_point now = Clock::now()) const;

    std::size_t openConnections() const { return connections_.size(); }

private:
    struct Connection {
        std::string buffer;
        std::optional<HandOverHeader> header;
        Clock::time_point deadline;
    };

    void acceptPending(Clock::time_point now);
    // Reads what is there; the request when it is complete.
    std::optional<ReceivedHandOver> readFrom(int fd, Connection& connection, bool& finished);
    void drop(int fd, char reply = 0);
    void updateListening();

    std::string path_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    unsigned long long inode_ = 0;
    bool listening_ = true;
    std::map<int, Connection> connections_;
};

} // namespace tavo::platform
