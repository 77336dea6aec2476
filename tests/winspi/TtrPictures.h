// Pictures of the TTR test format for the Windows plug-in tests and the
// bridge benchmark, with the rows and palette a decode must give back.
#pragma once

#include "TtrFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavo::test {

struct TtrPicture {
    std::uint32_t flags = 0;
    std::int32_t width = 13;
    std::int32_t height = 7;
    std::uint16_t bitCount = 24;
    std::uint16_t colours = 0;
    std::uint8_t seed = 1;

    std::size_t rowSize() const { return (static_cast<std::size_t>(width) * bitCount + 7) / 8; }
    // The palette, 4 bytes a colour, and the rows top first, as in the file.
    std::vector<std::uint8_t> palette() const;
    std::vector<std::uint8_t> row(std::int32_t y) const;
    std::vector<std::uint8_t> file() const;
    void write(const std::string& path) const;
};

} // namespace tavo::test
