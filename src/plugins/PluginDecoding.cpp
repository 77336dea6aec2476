#include "plugins/PluginDecoding.h"

#include "plugins/SPIBitmap.h"

namespace tavo {

std::unique_ptr<TSPIs> createProgramRegistry()
{
    auto spis = std::make_unique<TSPIs>();
    spis->AutoSearch = true;
    spis->SearchOptions = {spsSusieDir, spsAppDir};
    return spis;
}

Bitmap decodeThroughPlugins(const std::string& path)
{
    if (TSPIs* spis = GlobalSPIs(); spis != nullptr && !spis->isLoaded())
        spis->Loaded();
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(path);
    return bitmap.bitmap();
}

} // namespace tavo
