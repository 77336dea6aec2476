// The seam between the viewer and a kind of plug-in host: how a host process
// is started, how messages and shared-memory regions reach it, and how the
// viewer learns why it ended. The native host (ELF plug-ins) is one kind;
// another kind (a bridge for Windows plug-ins) supplies its own.
#pragma once

#include "platform/MessageSocket.h"
#include "plugins/PluginInfoCache.h"
#include "spihost/spi_host_protocol.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavo {

// Shared memory that the viewer fills and a host reads.
class OutgoingBlock {
public:
    virtual ~OutgoingBlock() = default;
    virtual std::span<std::uint8_t> bytes() = 0;
};

// Shared memory a host sent, checked to lie inside its carrier, mapped
// read-only for as long as the object lives. The host may still write to it:
// whoever reads a structure from it copies it first.
class IncomingBlock {
public:
    virtual ~IncomingBlock() = default;
    virtual std::span<const std::uint8_t> bytes() const = 0;
};

struct OutgoingRegion {
    OutgoingBlock* block;
    std::uint64_t offset;
    std::uint64_t size;
};

struct HostMessage {
    TavoHostHeader header = {};
    std::vector<std::uint8_t> payload;
    std::vector<std::unique_ptr<IncomingBlock>> regions;
};

enum class ChannelStatus {
    Ok,
    Closed,    // the host's end is gone
    TimedOut,  // nothing came before the deadline
    Malformed, // the bytes break the framing or the region rules
};

class HostChannel {
public:
    virtual ~HostChannel() = default;
    // A zero-filled block of size bytes; nullptr when none can be had.
    virtual std::unique_ptr<OutgoingBlock> createBlock(std::size_t size) = 0;
    // One message; false when the host can no longer be reached.
    virtual bool send(std::uint16_t type, std::uint32_t call, std::span<const std::uint8_t> payload,
                      std::span<const OutgoingRegion> regions) = 0;
    // The next whole message, its regions mapped.
    virtual ChannelStatus receive(const platform::Deadline& deadline, HostMessage* message) = 0;
};

// One running host process.
class HostProcess {
public:
    virtual ~HostProcess() = default;
    virtual HostChannel& channel() = 0;
    // Ends the process at once and reaps it.
    virtual void kill() = 0;
    // After the channel has closed: reaps the process (ending it if it lingers)
    // and tells how it ended; signal is its signal number or 0.
    virtual std::string endReason(int* signal) = 0;
};

class HostKind {
public:
    virtual ~HostKind() = default;
    // Whether this kind of host loads the library at path (by its file format).
    virtual bool accepts(const std::string& path) const = 0;
    // A fresh host; nullptr when it cannot be started.
    virtual std::unique_ptr<HostProcess> start() const = 0;
    // Gets a host ready without waiting, for a kind whose hosts take long to
    // start; true when start() would not wait long, or nothing can be waited for.
    virtual bool prepare() const { return true; }
    // What an earlier run learned about the library at path, for a kind whose
    // hosts are slow to start; nothing otherwise.
    virtual std::optional<LibraryFacts> remembered(const std::string& path) const
    {
        (void)path;
        return std::nullopt;
    }
    // Keeps what a host told about the library at path, for a later run.
    virtual void remember(const std::string& path, const LibraryFacts& facts) const
    {
        (void)path;
        (void)facts;
    }
};

// A whole message as it goes on the stream: header, region records, payload.
std::vector<std::uint8_t> frameMessage(std::uint16_t type, std::uint32_t call,
                                       std::span<const TavoHostRegion> records,
                                       std::span<const std::uint8_t> payload);

// Framing rules every channel applies to what a host sends.
// The header's sizes lie within the limits.
bool frameHeaderValid(const TavoHostHeader& header);
// The region records at the start of a message body; false when they do not
// fit it or a record names a carrier beyond carrierCount or reaches past the
// end of its carrier (carrierSizes[i] bytes).
bool readRegionRecords(std::span<const std::uint8_t> body, std::uint16_t count,
                       std::span<const std::uint64_t> carrierSizes, std::vector<TavoHostRegion>* records);

} // namespace tavo
