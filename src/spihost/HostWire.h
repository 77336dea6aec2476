// The host's end of the message stream: reads one request whole, with the
// regions that came beside it mapped, and writes replies.
#pragma once

#include "platform/SharedMemory.h"
#include "spihost/spi_host_protocol.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tavo::spihost {

// One region of a request: the carrier's descriptor and where the block lies.
struct RequestRegion {
    int fd = -1; // owned by the request
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

struct Request {
    TavoHostHeader header = {};
    std::vector<std::uint8_t> payload;
    std::vector<RequestRegion> regions;
    std::vector<platform::UniqueFd> descriptors;

    // The fixed struct at the start of the payload; false when it is shorter.
    template <class T>
    bool fixed(T* out) const
    {
        if (payload.size() < sizeof(T))
            return false;
        std::memcpy(out, payload.data(), sizeof(T));
        return true;
    }
    // length bytes after the fixed struct T; empty span when they are not there.
    template <class T>
    std::span<const std::uint8_t> tail(std::uint64_t length) const
    {
        if (payload.size() < sizeof(T) || payload.size() - sizeof(T) < length)
            return {};
        return {payload.data() + sizeof(T), static_cast<std::size_t>(length)};
    }
};

class Wire {
public:
    explicit Wire(int socket) : socket_(socket) {}

    // The next request; false when the viewer has gone or sent something
    // malformed (the host then ends).
    bool receive(Request* request);

    // A message with the given regions; every descriptor stays the caller's.
    bool send(std::uint16_t type, std::uint32_t call, std::span<const std::uint8_t> payload,
              std::span<const TavoHostRegion> regions = {}, std::span<const int> descriptors = {});

    template <class T>
    bool sendFixed(std::uint16_t type, std::uint32_t call, const T& fixed, std::span<const std::uint8_t> tail = {},
                   std::span<const TavoHostRegion> regions = {}, std::span<const int> descriptors = {})
    {
        std::vector<std::uint8_t> payload(sizeof(T) + tail.size());
        std::memcpy(payload.data(), &fixed, sizeof(T));
        if (!tail.empty())
            std::memcpy(payload.data() + sizeof(T), tail.data(), tail.size());
        return send(type, call, payload, regions, descriptors);
    }

private:
    int socket_;
};

} // namespace tavo::spihost
