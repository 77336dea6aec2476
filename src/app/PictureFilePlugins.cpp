// The plug-in path of the load: a fresh plug-in bitmap reads the file through
// the import plug-ins of the live registry, with the BMP reader last (first for
// a name without extension).
#include "app/PictureFile.h"

#include "plugins/PluginDecoding.h"

namespace tavo {

Bitmap decodeWithPlugins(const std::string& path)
{
    return decodeThroughPlugins(path);
}

} // namespace tavo
