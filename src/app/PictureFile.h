// Decoding a picture file as the viewer's load does: the decoder is chosen by
// the file's upper-cased extension, compared exactly.
#pragma once

#include "imaging/Bitmap.h"

#include <string>

namespace tavo {

enum class PictureDecoder { Jpeg, Bmp, Plugins };

// ".JPG" and ".JPEG" the JPEG decoder, ".BMP" the bitmap reader, anything else
// (".JPE", ".DIB", no extension at all) the plug-ins.
PictureDecoder pictureDecoderFor(const std::string& path);

// Throws the chosen decoder's errors unchanged.
Bitmap decodePictureFile(const std::string& path);

// The plug-in path: every extension the built-in decoders do not take.
Bitmap decodeWithPlugins(const std::string& path);

} // namespace tavo
