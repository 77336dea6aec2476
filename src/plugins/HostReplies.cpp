#include "plugins/HostReplies.h"

#include <algorithm>
#include <cstring>

namespace tavo {

namespace {

// The fixed struct, followed by exactly tailLength more bytes.
template <class T>
bool fixedWithTail(Payload payload, T* out, std::uint64_t (*tailLength)(const T&))
{
    if (payload.size() < sizeof(T))
        return false;
    std::memcpy(out, payload.data(), sizeof(T));
    return payload.size() - sizeof(T) == tailLength(*out);
}

template <class T>
std::optional<T> exactly(Payload payload)
{
    if (payload.size() != sizeof(T))
        return std::nullopt;
    T value;
    std::memcpy(&value, payload.data(), sizeof(T));
    return value;
}

std::string tailText(Payload payload, std::size_t fixedSize)
{
    return std::string(reinterpret_cast<const char*>(payload.data()) + fixedSize, payload.size() - fixedSize);
}

} // namespace

std::optional<TavoReady> decodeReady(Payload payload)
{
    auto ready = exactly<TavoReady>(payload);
    if (!ready || ready->version != TAVO_HOST_PROTOCOL_VERSION)
        return std::nullopt;
    return ready;
}

std::optional<LoadReply> decodeLoadReply(Payload payload)
{
    TavoLoadReply fixed;
    if (!fixedWithTail<TavoLoadReply>(payload, &fixed, [](const TavoLoadReply& r) { return std::uint64_t{r.pathLength}; }))
        return std::nullopt;
    if (fixed.pathLength > TAVO_HOST_MAX_PATH)
        return std::nullopt;
    if (fixed.status != TAVO_LOAD_OK && fixed.status != TAVO_LOAD_CANNOT_LOAD && fixed.status != TAVO_LOAD_NO_PLUGIN_INFO)
        return std::nullopt;
    if ((fixed.status == TAVO_LOAD_OK) != (fixed.library != 0))
        return std::nullopt;
    LoadReply reply;
    reply.status = fixed.status;
    reply.library = fixed.library;
    reply.entries = fixed.entries;
    reply.modulePath = tailText(payload, sizeof fixed);
    // A path is text without zero bytes; anything else is no path.
    if (reply.modulePath.find('\0') != std::string::npos)
        return std::nullopt;
    return reply;
}

std::optional<std::int32_t> decodeStatusReply(Payload payload)
{
    const auto reply = exactly<TavoStatusReply>(payload);
    if (!reply)
        return std::nullopt;
    return reply->result;
}

std::optional<PluginInfoReply> decodePluginInfoReply(Payload payload, std::int32_t buflen)
{
    TavoPluginInfoReply fixed;
    if (!fixedWithTail<TavoPluginInfoReply>(payload, &fixed,
                                            [](const TavoPluginInfoReply& r) { return std::uint64_t{r.textLength}; }))
        return std::nullopt;
    if (fixed.textLength > static_cast<std::uint32_t>(std::max(buflen, 0)))
        return std::nullopt;
    PluginInfoReply reply;
    reply.result = fixed.result;
    reply.text = tailText(payload, sizeof fixed);
    if (reply.text.find('\0') != std::string::npos)
        return std::nullopt;
    return reply;
}

std::optional<PictureInfoReply> decodePictureInfoReply(Payload payload)
{
    TavoPictureInfoReply fixed;
    if (!fixedWithTail<TavoPictureInfoReply>(payload, &fixed,
                                             [](const TavoPictureInfoReply& r) { return std::uint64_t{r.textLength}; }))
        return std::nullopt;
    if (fixed.textLength > TAVO_HOST_MAX_INFO_TEXT || fixed.hasText > 1 || (fixed.hasText == 0 && fixed.textLength != 0))
        return std::nullopt;
    PictureInfoReply reply;
    reply.numbers = fixed;
    reply.text = tailText(payload, sizeof fixed);
    if (reply.text.find('\0') != std::string::npos)
        return std::nullopt;
    return reply;
}

std::optional<std::int32_t> decodePictureReply(Payload payload, std::size_t regionCount)
{
    const auto reply = exactly<TavoPictureReply>(payload);
    if (!reply || (regionCount != 0 && regionCount != 2) || (regionCount == 2 && reply->result != 0))
        return std::nullopt;
    return reply->result;
}

std::optional<TavoProgress> decodeProgress(Payload payload)
{
    return exactly<TavoProgress>(payload);
}

} // namespace tavo
