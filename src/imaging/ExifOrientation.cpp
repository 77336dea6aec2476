#include "imaging/ExifOrientation.h"

#include <cstring>

namespace tavo {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// Reads fields of a TIFF structure in its own byte order; a field that does
// not fit inside the data reads as absent.
class TiffFields {
public:
    TiffFields(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : data_(data), size_(size), bigEndian_(bigEndian) {}

    bool u16(std::size_t offset, std::uint16_t& value) const {
        if (offset > size_ || size_ - offset < 2)
            return false;
        const std::uint8_t* p = data_ + offset;
        value = static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
        return true;
    }
    bool u32(std::size_t offset, std::uint32_t& value) const {
        std::uint16_t first = 0, second = 0;
        if (!u16(offset, first) || !u16(offset + 2, second))
            return false;
        value = bigEndian_ ? (std::uint32_t{first} << 16) | second : (std::uint32_t{second} << 16) | first;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool bigEndian_;
};

} // namespace

int exifOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr)
        return 1;
    static constexpr std::uint8_t kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size >= sizeof kExifIdentifier && std::memcmp(data, kExifIdentifier, sizeof kExifIdentifier) == 0) {
        data += sizeof kExifIdentifier;
        size -= sizeof kExifIdentifier;
    }
    if (size < 8)
        return 1;
    bool bigEndian;
    if (std::memcmp(data, "II*\0", 4) == 0)
        bigEndian = false;
    else if (std::memcmp(data, "MM\0*", 4) == 0)
        bigEndian = true;
    else
        return 1;
    const TiffFields fields(data, size, bigEndian);
    std::uint32_t directory = 0;
    std::uint16_t entries = 0;
    if (!fields.u32(4, directory) || directory < 8 || !fields.u16(directory, entries))
        return 1;
    // The first directory describes the main picture; its entries are sorted
    // by tag, but damaged files are not, so every entry that fits is looked at.
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = std::size_t{directory} + 2 + std::size_t{i} * 12;
        std::uint16_t tag = 0, type = 0, value = 0;
        std::uint32_t count = 0;
        if (!fields.u16(entry, tag) || !fields.u16(entry + 2, type) || !fields.u32(entry + 4, count) ||
            !fields.u16(entry + 8, value))
            return 1;
        if (tag != kOrientationTag)
            continue;
        if (type != kShortType || count != 1 || value < 1 || value > 8)
            return 1;
        return value;
    }
    return 1;
}

} // namespace tavo
