#include "FormatReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace tavo::spitest {

fs::path freshFolder(const std::string& prefix)
{
    std::string pattern = ::testing::TempDir() + "/" + prefix + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

std::string shellQuoted(const fs::path& path)
{
    std::string out = "'";
    for (char c : path.string())
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string missingTool(std::initializer_list<const char*> programs)
{
    for (const char* program : programs)
        if (!run(std::string("command -v ") + program + " >/dev/null"))
            return program;
    return {};
}

long mismatches(const Dib& dib, const std::string& rgba, int tolerance, int* worst)
{
    if (rgba.size() != std::size_t(dib.width) * std::size_t(std::abs(dib.height)) * 4)
        return -1;
    const auto over = [](int value, int alpha) { return (value * alpha + 240 * (255 - alpha) + 127) / 255; };
    long count = 0;
    int largest = 0;
    for (int y = 0; y < std::abs(dib.height); ++y)
        for (int x = 0; x < dib.width; ++x) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(rgba.data()) + 4 * (std::size_t(y) * dib.width + x);
            const Rgb actual = dib.pixel(x, y);
            const int diff = std::max({std::abs(actual.red - over(p[0], p[3])), std::abs(actual.green - over(p[1], p[3])),
                                       std::abs(actual.blue - over(p[2], p[3]))});
            largest = std::max(largest, diff);
            count += diff > tolerance;
        }
    if (worst != nullptr)
        *worst = largest;
    return count;
}

} // namespace tavo::spitest
