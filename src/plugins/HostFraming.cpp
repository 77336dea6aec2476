#include "plugins/HostChannel.h"

#include <cstring>

namespace tavo {

std::vector<std::uint8_t> frameMessage(std::uint16_t type, std::uint32_t call,
                                       std::span<const TavoHostRegion> records,
                                       std::span<const std::uint8_t> payload)
{
    const std::size_t recordBytes = records.size() * sizeof(TavoHostRegion);
    TavoHostHeader header = {};
    header.size = static_cast<std::uint32_t>(recordBytes + payload.size());
    header.type = type;
    header.regionCount = static_cast<std::uint16_t>(records.size());
    header.call = call;
    std::vector<std::uint8_t> bytes(sizeof header + header.size);
    std::memcpy(bytes.data(), &header, sizeof header);
    if (recordBytes != 0)
        std::memcpy(bytes.data() + sizeof header, records.data(), recordBytes);
    if (!payload.empty())
        std::memcpy(bytes.data() + sizeof header + recordBytes, payload.data(), payload.size());
    return bytes;
}

bool frameHeaderValid(const TavoHostHeader& header)
{
    return header.size <= TAVO_HOST_MAX_MESSAGE && header.regionCount <= TAVO_HOST_MAX_REGIONS &&
        std::uint64_t{header.regionCount} * sizeof(TavoHostRegion) <= header.size;
}

bool readRegionRecords(std::span<const std::uint8_t> body, std::uint16_t count,
                       std::span<const std::uint64_t> carrierSizes, std::vector<TavoHostRegion>* records)
{
    records->clear();
    if (std::uint64_t{count} * sizeof(TavoHostRegion) > body.size())
        return false;
    for (std::uint16_t i = 0; i < count; ++i) {
        TavoHostRegion record;
        std::memcpy(&record, body.data() + i * sizeof record, sizeof record);
        if (record.carrier >= carrierSizes.size())
            return false;
        const std::uint64_t carrierSize = carrierSizes[record.carrier];
        if (record.offset > carrierSize || record.size > carrierSize - record.offset)
            return false;
        records->push_back(record);
    }
    return true;
}

} // namespace tavo
