// Whole messages over a stream socket, with descriptors passed beside them
// (SCM_RIGHTS), and reads bounded by a deadline.
#pragma once

#include "platform/SharedMemory.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavo::platform {

using Deadline = std::optional<std::chrono::steady_clock::time_point>; // nothing: wait for ever

// Sends every byte, the descriptors attached to the first one. Never raises
// SIGPIPE. False when the peer is gone or the socket fails.
bool sendMessageBytes(int socket, std::span<const std::uint8_t> bytes, std::span<const int> descriptors);

enum class ReadOutcome { Done, Closed, TimedOut, Failed };

// Reads exactly out.size() bytes. Descriptors that arrive with them are
// appended to *descriptors, at most maxDescriptors in all; more than that is
// Failed (the extra ones are closed). Closed: the peer ended the stream.
ReadOutcome readMessageBytes(int socket, std::span<std::uint8_t> out, const Deadline& deadline,
                             std::vector<UniqueFd>* descriptors, std::size_t maxDescriptors);

} // namespace tavo::platform
