#include "plugins/HostChannel.h"

#include <cstring>

namespace tavo {

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
