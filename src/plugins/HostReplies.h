// What the viewer takes from a host's replies, each decoded from an untrusted
// payload: exact sizes, bounded lengths, known values, or nothing at all.
#pragma once

#include "spihost/spi_host_protocol.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tavo {

struct LoadReply {
    std::int32_t status = 0;
    std::uint32_t library = 0;
    std::uint32_t entries = 0;
    std::string modulePath;
};

struct PluginInfoReply {
    std::int32_t result = 0;
    std::string text; // at most buflen bytes, no zero byte
};

struct PictureInfoReply {
    TavoPictureInfoReply numbers = {};
    std::string text;
};

using Payload = std::span<const std::uint8_t>;

std::optional<TavoReady> decodeReady(Payload payload);
std::optional<LoadReply> decodeLoadReply(Payload payload);
std::optional<std::int32_t> decodeStatusReply(Payload payload);
std::optional<PluginInfoReply> decodePluginInfoReply(Payload payload, std::int32_t buflen);
std::optional<PictureInfoReply> decodePictureInfoReply(Payload payload);
// regionCount: 0, or 2 with result 0.
std::optional<std::int32_t> decodePictureReply(Payload payload, std::size_t regionCount);
std::optional<TavoProgress> decodeProgress(Payload payload);

} // namespace tavo
