// The orientation tag of a picture's EXIF data: how the stored pixels are to
// be turned and mirrored to show the picture upright.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavo {

// The tag's value, 1 to 8, read from EXIF data: a TIFF structure, optionally
// led by the "Exif\0\0" identifier of a JPEG APP1 segment. Missing, damaged or
// out-of-range data gives 1 (as stored). Reads nothing outside the data.
int exifOrientation(const std::uint8_t* data, std::size_t size);

} // namespace tavo
