// The plug-in path of the load. No import plug-in is bound yet, so no format
// beyond JPEG and BMP is recognised.
#include "app/PictureFile.h"

#include "platform/Errors.h"

namespace tavo {

Bitmap decodeWithPlugins(const std::string&)
{
    throw EInvalidGraphic(kUnknownFormatMessage);
}

} // namespace tavo
