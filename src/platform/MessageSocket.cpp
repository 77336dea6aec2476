#include "platform/MessageSocket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace tavo::platform {

namespace {

constexpr std::size_t kDescriptorRoom = 8;

int millisecondsLeft(const Deadline& deadline)
{
    if (!deadline)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

} // namespace

bool sendMessageBytes(int socket, std::span<const std::uint8_t> bytes, std::span<const int> descriptors)
{
    if (descriptors.size() > kDescriptorRoom)
        return false;
    std::size_t sent = 0;
    bool first = true;
    while (sent < bytes.size() || first) {
        iovec part{const_cast<std::uint8_t*>(bytes.data() + sent), bytes.size() - sent};
        msghdr message = {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kDescriptorRoom)] = {};
        if (first && !descriptors.empty()) {
            message.msg_control = control;
            message.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
            cmsghdr* header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
            std::memcpy(CMSG_DATA(header), descriptors.data(), sizeof(int) * descriptors.size());
        }
        const ssize_t n = sendmsg(socket, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        sent += static_cast<std::size_t>(n);
        first = false;
        if (bytes.empty())
            break;
    }
    return true;
}

ReadOutcome readMessageBytes(int socket, std::span<std::uint8_t> out, const Deadline& deadline,
                             std::vector<UniqueFd>* descriptors, std::size_t maxDescriptors)
{
    std::size_t got = 0;
    bool tooMany = false;
    while (got < out.size()) {
        pollfd watched{socket, POLLIN, 0};
        const int ready = poll(&watched, 1, millisecondsLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return ReadOutcome::Failed;
        }
        if (ready == 0)
            return ReadOutcome::TimedOut;
        iovec part{out.data() + got, out.size() - got};
        msghdr message = {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kDescriptorRoom)] = {};
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return errno == ECONNRESET ? ReadOutcome::Closed : ReadOutcome::Failed;
        }
        // Every descriptor that came is owned at once, so that none leaks
        // whatever else is wrong with the message.
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
                UniqueFd owned(fd);
                if (descriptors == nullptr || descriptors->size() >= maxDescriptors)
                    tooMany = true;
                else
                    descriptors->push_back(std::move(owned));
            }
        }
        if ((message.msg_flags & MSG_CTRUNC) != 0)
            tooMany = true;
        if (n == 0)
            return ReadOutcome::Closed;
        got += static_cast<std::size_t>(n);
    }
    return tooMany ? ReadOutcome::Failed : ReadOutcome::Done;
}

} // namespace tavo::platform
