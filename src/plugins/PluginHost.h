// One running plug-in host process as the viewer sees it: requests and their
// checked replies. A host that dies, stops answering, or breaks the protocol
// is ended and raises HostLost; the object is then dead for good.
#pragma once

#include "plugins/HostChannel.h"
#include "plugins/HostReplies.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace tavo {

class HostLost : public std::exception {
public:
    HostLost(std::string reason, int signal) : reason_(std::move(reason)), signal_(signal) {}
    const char* what() const noexcept override { return reason_.c_str(); }
    const std::string& reason() const { return reason_; }
    int signal() const { return signal_; }

private:
    std::string reason_;
    int signal_;
};

// How long a host may stay silent during a call: 20 seconds, or what
// TAVO_SPI_HOST_TIMEOUT_MS says (tests).
std::chrono::milliseconds hostTimeout();

class PluginHost {
public:
    // Waits for the host's READY; HostLost when it never comes.
    // The time a call may stay silent is hostTimeout(), read for every request.
    PluginHost(std::unique_ptr<HostProcess> process, std::uint64_t serial);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    bool alive() const { return process_ != nullptr; }
    std::uint64_t serial() const { return serial_; }
    HostChannel& channel() { return process_->channel(); }

    LoadReply load(const std::string& path);
    void unload(std::uint32_t library);
    PluginInfoReply pluginInfo(std::uint32_t library, std::int32_t infono, std::int32_t buflen);
    std::int32_t isSupported(std::uint32_t library, const std::string& fileName, const OutgoingRegion& block);
    PictureInfoReply pictureInfo(std::uint32_t library, const OutgoingRegion& data, std::uint64_t length,
                                 std::uint32_t flag);

    struct Picture {
        std::int32_t result = 0;
        std::unique_ptr<IncomingBlock> info; // both set, or neither
        std::unique_ptr<IncomingBlock> bits;
    };
    using Progress = std::function<std::int32_t(std::int32_t num, std::int32_t denom)>;
    Picture picture(std::uint32_t library, const OutgoingRegion& data, std::uint64_t length, std::uint32_t flag,
                    const Progress& progress);

private:
    // Sends one request and returns its reply; PROGRESS messages on the way
    // go to progress (nullptr: not expected).
    HostMessage exchange(std::uint16_t type, std::span<const std::uint8_t> payload,
                         std::span<const OutgoingRegion> regions, const Progress* progress);
    HostMessage await(std::uint16_t type, std::uint32_t call, const Progress* progress);
    [[noreturn]] void lose(ChannelStatus status);

    std::unique_ptr<HostProcess> process_;
    std::uint64_t serial_;
    std::uint32_t nextCall_ = 1;
};

} // namespace tavo
