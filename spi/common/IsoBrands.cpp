#include "IsoBrands.h"

#include <cstring>

namespace tavo::spi {

bool hasIsoBrand(const std::uint8_t* data, std::size_t size, const char* const* brands, std::size_t count)
{
    if (data == nullptr || size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0)
        return false;
    const std::size_t boxSize = std::size_t(data[0]) << 24 | std::size_t(data[1]) << 16
        | std::size_t(data[2]) << 8 | data[3];
    if (boxSize < 16)
        return false;
    const std::size_t end = boxSize < size ? boxSize : size;
    // The major brand at 8, the minor version at 12, compatible brands from 16.
    for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
        for (std::size_t i = 0; i < count; ++i)
            if (std::memcmp(data + at, brands[i], 4) == 0)
                return true;
    return false;
}

} // namespace tavo::spi
