// An ICC profile embedded in a JPEG file: split over APP2 segments, each led
// by "ICC_PROFILE\0", its sequence number and the number of segments.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tavo {

// The profile put together from the payloads of a file's APP2 segments (other
// APP2 segments among them are passed over). Empty when there is none, or when
// the pieces are inconsistent, repeated or incomplete.
std::vector<std::uint8_t> iccProfileFromSegments(const std::vector<std::span<const std::uint8_t>>& segments);

} // namespace tavo
