#include "spihost/HostWire.h"

#include "platform/MessageSocket.h"

namespace tavo::spihost {

bool Wire::receive(Request* request)
{
    *request = Request{};
    auto* header = reinterpret_cast<std::uint8_t*>(&request->header);
    if (platform::readMessageBytes(socket_, {header, sizeof(TavoHostHeader)}, std::nullopt, &request->descriptors,
                                   TAVO_HOST_MAX_REGIONS) != platform::ReadOutcome::Done)
        return false;
    const TavoHostHeader& h = request->header;
    const std::uint64_t regionBytes = std::uint64_t{h.regionCount} * sizeof(TavoHostRegion);
    if (h.size > TAVO_HOST_MAX_MESSAGE || h.regionCount > TAVO_HOST_MAX_REGIONS || regionBytes > h.size)
        return false;
    std::vector<std::uint8_t> body(h.size);
    if (platform::readMessageBytes(socket_, body, std::nullopt, &request->descriptors, TAVO_HOST_MAX_REGIONS) !=
        platform::ReadOutcome::Done)
        return false;
    for (std::uint16_t i = 0; i < h.regionCount; ++i) {
        TavoHostRegion record;
        std::memcpy(&record, body.data() + i * sizeof record, sizeof record);
        if (record.carrier >= request->descriptors.size())
            return false;
        request->regions.push_back({request->descriptors[record.carrier].get(), record.offset, record.size});
    }
    request->payload.assign(body.begin() + static_cast<std::ptrdiff_t>(regionBytes), body.end());
    return true;
}

bool Wire::send(std::uint16_t type, std::uint32_t call, std::span<const std::uint8_t> payload,
                std::span<const TavoHostRegion> regions, std::span<const int> descriptors)
{
    TavoHostHeader header = {};
    header.size = static_cast<std::uint32_t>(regions.size() * sizeof(TavoHostRegion) + payload.size());
    header.type = type;
    header.regionCount = static_cast<std::uint16_t>(regions.size());
    header.call = call;
    std::vector<std::uint8_t> bytes(sizeof header + header.size);
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!regions.empty())
        std::memcpy(bytes.data() + sizeof header, regions.data(), regions.size() * sizeof(TavoHostRegion));
    if (!payload.empty())
        std::memcpy(bytes.data() + sizeof header + regions.size() * sizeof(TavoHostRegion), payload.data(),
                    payload.size());
    return platform::sendMessageBytes(socket_, bytes, descriptors);
}

} // namespace tavo::spihost
