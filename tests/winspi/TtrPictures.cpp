#include "TtrPictures.h"

#include <fstream>

namespace tavo::test {

std::vector<std::uint8_t> TtrPicture::palette() const
{
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t i = 0; i < colours; ++i)
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(i * 3 + seed), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i * 7), 0});
    return bytes;
}

std::vector<std::uint8_t> TtrPicture::row(std::int32_t y) const
{
    std::vector<std::uint8_t> bytes(rowSize());
    for (std::size_t x = 0; x < bytes.size(); ++x)
        bytes[x] = static_cast<std::uint8_t>(seed + x * 11 + static_cast<std::size_t>(y) * 29 + (x * y) % 7);
    return bytes;
}

std::vector<std::uint8_t> TtrPicture::file() const
{
    std::vector<std::uint8_t> bytes = {'T', 'T', 'R', '1'};
    auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    put(flags, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(bitCount, 2);
    put(colours, 2);
    const std::vector<std::uint8_t> colourBytes = palette();
    bytes.insert(bytes.end(), colourBytes.begin(), colourBytes.end());
    bytes.reserve(bytes.size() + rowSize() * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::vector<std::uint8_t> r = row(y);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return bytes;
}

void TtrPicture::write(const std::string& path) const
{
    const std::vector<std::uint8_t> bytes = file();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

} // namespace tavo::test
