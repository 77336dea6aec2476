#include "plugins/PluginDecoding.h"

#include "plugins/SPIBitmap.h"
#include "plugins/SPIErrors.h"

namespace tavo {

std::unique_ptr<TSPIs> createProgramRegistry()
{
    auto spis = std::make_unique<TSPIs>();
    spis->AutoSearch = true;
    spis->SearchOptions = {spsSusieDir, spsAppDir};
    return spis;
}

namespace {

// The live registry, its one search run; nullptr when there is none.
TSPIs* searchedRegistry()
{
    TSPIs* spis = GlobalSPIs();
    if (spis != nullptr && !spis->isLoaded()) {
        // Libraries the search skipped do not cost this load: the plug-ins
        // found beside them decode it, and the report waits for the owner.
        try {
            spis->Loaded();
        } catch (const ESPIFault& fault) {
            spis->keepSearchFault(fault.what());
        }
    }
    return spis;
}

} // namespace

Bitmap decodeThroughPlugins(const std::string& path)
{
    searchedRegistry();
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(path);
    return bitmap.bitmap();
}

bool pluginDecodeWouldWait()
{
    const TSPIs* spis = searchedRegistry();
    return spis != nullptr && spis->hasPending() && !spis->pendingReady();
}

} // namespace tavo
