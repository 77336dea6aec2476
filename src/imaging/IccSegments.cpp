#include "imaging/IccSegments.h"

#include <cstring>

namespace tavo {

std::vector<std::uint8_t> iccProfileFromSegments(const std::vector<std::span<const std::uint8_t>>& segments) {
    static constexpr char kIdentifier[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', '\0'};
    constexpr std::size_t kLead = sizeof kIdentifier + 2;
    std::vector<std::span<const std::uint8_t>> pieces;
    for (const auto& segment : segments) {
        if (segment.size() <= kLead || std::memcmp(segment.data(), kIdentifier, sizeof kIdentifier) != 0)
            continue;
        const unsigned sequence = segment[12];
        const unsigned count = segment[13];
        if (count == 0 || sequence == 0 || sequence > count || (!pieces.empty() && pieces.size() != count))
            return {};
        if (pieces.empty())
            pieces.resize(count);
        if (!pieces[sequence - 1].empty())
            return {};
        pieces[sequence - 1] = segment.subspan(kLead);
    }
    std::vector<std::uint8_t> profile;
    for (const auto& piece : pieces) {
        if (piece.empty())
            return {};
        profile.insert(profile.end(), piece.begin(), piece.end());
    }
    return profile;
}

} // namespace tavo
