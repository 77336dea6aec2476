// The second copy's end of the hand-over socket: one connection, one request,
// one reply.
#pragma once

#include "platform/HandOverProtocol.h"

#include <chrono>
#include <optional>
#include <string>

namespace tavo::platform {

enum class HandOverReply {
    kHandled, // the viewer ran the request, a load included
    kRefused, // the viewer judged the request malformed
    kNoReply, // no answer in time
    kClosed,  // the viewer closed the connection without answering: it was ending
};

class HandOverConnection {
public:
    // A connection to the viewer in `folder`; nothing when no viewer listens
    // there (yet). Throws ESystemError when no socket can be created at all.
    static std::optional<HandOverConnection> connect(const std::string& folder);

    HandOverConnection(HandOverConnection&& other) noexcept;
    HandOverConnection& operator=(HandOverConnection&&) = delete;
    HandOverConnection(const HandOverConnection&) = delete;
    HandOverConnection& operator=(const HandOverConnection&) = delete;
    ~HandOverConnection();

    // Sends `bytes` whole and waits at most `timeout` for the reply.
    HandOverReply exchange(const std::string& bytes, std::chrono::milliseconds timeout);

private:
    explicit HandOverConnection(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace tavo::platform
