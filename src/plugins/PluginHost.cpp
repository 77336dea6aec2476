#include "plugins/PluginHost.h"

#include "plugins/SPIErrors.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavo {

namespace {

constexpr std::chrono::milliseconds kDefaultTimeout{20000};

template <class T>
std::vector<std::uint8_t> payloadOf(const T& fixed, std::string_view tail = {})
{
    std::vector<std::uint8_t> bytes(sizeof(T) + tail.size());
    std::memcpy(bytes.data(), &fixed, sizeof(T));
    if (!tail.empty())
        std::memcpy(bytes.data() + sizeof(T), tail.data(), tail.size());
    return bytes;
}

} // namespace

std::chrono::milliseconds hostTimeout()
{
    if (const char* text = std::getenv("TAVO_SPI_HOST_TIMEOUT_MS"); text != nullptr && *text != 0) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == 0 && value > 0)
            return std::chrono::milliseconds(value);
    }
    return kDefaultTimeout;
}

PluginHost::PluginHost(std::unique_ptr<HostProcess> process, std::uint64_t serial)
    : process_(std::move(process)), serial_(serial)
{
    const HostMessage ready = await(TAVO_MSG_READY, 0, nullptr);
    if (!decodeReady(ready.payload) || !ready.regions.empty())
        lose(ChannelStatus::Malformed);
}

PluginHost::~PluginHost() = default;

void PluginHost::lose(ChannelStatus status)
{
    std::string reason;
    int signal = 0;
    if (status == ChannelStatus::Closed) {
        reason = process_->endReason(&signal);
    } else {
        process_->kill();
        reason = status == ChannelStatus::TimedOut ? kNoResponseReason : kBadReplyReason;
    }
    process_.reset();
    throw HostLost(reason, signal);
}

HostMessage PluginHost::await(std::uint16_t type, std::uint32_t call, const Progress* progress)
{
    const std::chrono::milliseconds timeout = hostTimeout();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        HostMessage message;
        const ChannelStatus status = process_->channel().receive(deadline, &message);
        if (status != ChannelStatus::Ok)
            lose(status);
        if (message.header.call != call)
            lose(ChannelStatus::Malformed);
        if (message.header.type == type)
            return message;
        if (progress == nullptr || message.header.type != TAVO_MSG_PROGRESS || !message.regions.empty())
            lose(ChannelStatus::Malformed);
        const auto report = decodeProgress(message.payload);
        if (!report)
            lose(ChannelStatus::Malformed);
        // An honest report of progress restarts the time a call may take.
        const std::int32_t answer = *progress ? (*progress)(report->num, report->denom) : 0;
        const TavoStatusReply reply{answer, 0};
        const auto bytes = payloadOf(reply);
        if (!process_->channel().send(TAVO_MSG_PROGRESS | TAVO_HOST_REPLY, call, bytes, {}))
            lose(ChannelStatus::Closed);
        deadline = std::chrono::steady_clock::now() + timeout;
    }
}

HostMessage PluginHost::exchange(std::uint16_t type, std::span<const std::uint8_t> payload,
                                 std::span<const OutgoingRegion> regions, const Progress* progress)
{
    if (!process_)
        throw HostLost(kBadReplyReason, 0);
    const std::uint32_t call = nextCall_++;
    if (!process_->channel().send(type, call, payload, regions))
        lose(ChannelStatus::Closed);
    return await(static_cast<std::uint16_t>(type | TAVO_HOST_REPLY), call, progress);
}

LoadReply PluginHost::load(const std::string& path)
{
    TavoLoad request = {};
    request.pathLength = static_cast<std::uint32_t>(path.size());
    const HostMessage reply = exchange(TAVO_MSG_LOAD, payloadOf(request, path), {}, nullptr);
    auto decoded = decodeLoadReply(reply.payload);
    if (!decoded || !reply.regions.empty())
        lose(ChannelStatus::Malformed);
    return std::move(*decoded);
}

void PluginHost::unload(std::uint32_t library)
{
    const TavoUnload request{library, 0};
    const HostMessage reply = exchange(TAVO_MSG_UNLOAD, payloadOf(request), {}, nullptr);
    if (!decodeStatusReply(reply.payload) || !reply.regions.empty())
        lose(ChannelStatus::Malformed);
}

PluginInfoReply PluginHost::pluginInfo(std::uint32_t library, std::int32_t infono, std::int32_t buflen)
{
    const TavoPluginInfo request{library, infono, buflen, 0};
    const HostMessage reply = exchange(TAVO_MSG_PLUGIN_INFO, payloadOf(request), {}, nullptr);
    auto decoded = decodePluginInfoReply(reply.payload, buflen);
    if (!decoded || !reply.regions.empty())
        lose(ChannelStatus::Malformed);
    return std::move(*decoded);
}

std::int32_t PluginHost::isSupported(std::uint32_t library, const std::string& fileName, const OutgoingRegion& block)
{
    TavoIsSupported request = {};
    request.library = library;
    request.nameLength = static_cast<std::uint32_t>(fileName.size());
    const HostMessage reply =
        exchange(TAVO_MSG_IS_SUPPORTED, payloadOf(request, fileName), {&block, 1}, nullptr);
    const auto result = decodeStatusReply(reply.payload);
    if (!result || !reply.regions.empty())
        lose(ChannelStatus::Malformed);
    return *result;
}

PictureInfoReply PluginHost::pictureInfo(std::uint32_t library, const OutgoingRegion& data, std::uint64_t length,
                                         std::uint32_t flag)
{
    const TavoPictureCall request{library, flag, length};
    const HostMessage reply = exchange(TAVO_MSG_PICTURE_INFO, payloadOf(request), {&data, 1}, nullptr);
    auto decoded = decodePictureInfoReply(reply.payload);
    if (!decoded || !reply.regions.empty())
        lose(ChannelStatus::Malformed);
    return std::move(*decoded);
}

PluginHost::Picture PluginHost::picture(std::uint32_t library, const OutgoingRegion& data, std::uint64_t length,
                                        std::uint32_t flag, const Progress& progress)
{
    const TavoPictureCall request{library, flag, length};
    HostMessage reply = exchange(TAVO_MSG_PICTURE, payloadOf(request), {&data, 1}, &progress);
    const auto result = decodePictureReply(reply.payload, reply.regions.size());
    if (!result)
        lose(ChannelStatus::Malformed);
    Picture picture;
    picture.result = *result;
    if (reply.regions.size() == 2) {
        picture.info = std::move(reply.regions[0]);
        picture.bits = std::move(reply.regions[1]);
    }
    return picture;
}

} // namespace tavo
