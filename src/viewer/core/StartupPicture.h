// The picture the image control shows until the first load: 320 × 240 pixels,
// 256 colours, drawn in code so that it needs no resource file.
#pragma once

#include "imaging/Bitmap.h"

namespace tavo {

inline constexpr std::int32_t kStartupPictureWidth = 320;
inline constexpr std::int32_t kStartupPictureHeight = 240;

// An 8-bit palettised landscape: sky, sun, two hills, a bevelled frame.
Bitmap startupPicture();

} // namespace tavo
