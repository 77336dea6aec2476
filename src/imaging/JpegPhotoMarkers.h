// What a JPEG file says about showing it: the EXIF orientation (APP1) and the
// embedded ICC profile (APP2), read from the markers libjpeg keeps. Shared by
// the built-in decoder and the JPEG plug-in.
#pragma once

#include "imaging/ExifOrientation.h"
#include "imaging/IccSegments.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include <jpeglib.h>

namespace tavo::jpeg {

// Asks libjpeg to keep the APP1 and APP2 segments; before jpeg_read_header.
inline void keepPhotoMarkers(jpeg_decompress_struct& cinfo)
{
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
}

// The orientation of the first APP1 segment that holds EXIF data; 1 without.
inline int photoOrientation(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            std::equal(marker->data, marker->data + 6, "Exif\0\0"))
            return exifOrientation(marker->data, marker->data_length);
    }
    return 1;
}

inline std::vector<std::uint8_t> photoIccProfile(const jpeg_decompress_struct& cinfo)
{
    std::vector<std::span<const std::uint8_t>> segments;
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 2)
            segments.emplace_back(marker->data, marker->data_length);
    }
    return iccProfileFromSegments(segments);
}

} // namespace tavo::jpeg
