#include "app/PictureFile.h"

#include "imaging/BmpReader.h"
#include "imaging/JpegDecoder.h"
#include "imaging/PathParts.h"

namespace tavo {

PictureDecoder pictureDecoderFor(const std::string& path)
{
    const std::string extension = upperCaseAscii(extensionPart(path));
    if (extension == ".JPG" || extension == ".JPEG")
        return PictureDecoder::Jpeg;
    if (extension == ".BMP")
        return PictureDecoder::Bmp;
    return PictureDecoder::Plugins;
}

Bitmap decodePictureFile(const std::string& path)
{
    switch (pictureDecoderFor(path)) {
    case PictureDecoder::Jpeg:
        return DecodeJpegFile(path);
    case PictureDecoder::Bmp:
        return ReadBmpFile(path);
    case PictureDecoder::Plugins:
        break;
    }
    return decodeWithPlugins(path);
}

} // namespace tavo
