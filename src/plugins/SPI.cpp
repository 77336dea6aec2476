#include "plugins/SPI.h"

#include "platform/FaultGuard.h"
#include "plugins/SPIErrors.h"

#include <cstring>
#include <mutex>
#include <set>

namespace tavo {

namespace {

// The texts are read from a 256-byte buffer handed over with the length 255, so
// a plug-in that fills all 255 bytes still leaves the last byte zero.
constexpr int32_t kInfoBufferSize = 256;
constexpr int32_t kInfoLength = 255;

// The pattern list has no end of its own; a plug-in that answers every number
// would otherwise keep the search busy for ever. No real plug-in comes near it.
constexpr int32_t kMaxFilterPairs = 1024;

// Libraries that faulted in this run, by the path the loader reports: two
// objects of one library share its code and its (possibly corrupted) state.
std::mutex faultedMutex;
std::set<std::string> faultedLibraries;

} // namespace

TSPI::TSPI(const std::string& path)
{
    handle_ = platform::Module::open(path);
    if (!handle_)
        throw ESPIFOpenErrorSPI(path);
    fileName_ = handle_->path();
    if (fileName_.empty())
        fileName_ = path;
    getPluginInfo_ = reinterpret_cast<decltype(getPluginInfo_)>(bind("GetPluginInfo"));
    if (getPluginInfo_ == nullptr)
        throw ESPIInvalidSPI(fileName_);
    try {
        readInfo(0, &apiVersion_);
        readInfo(1, &pluginName_);
        for (int32_t n = 2; n < 2 + 2 * kMaxFilterPairs; n += 2) {
            std::string pattern;
            std::string name;
            if (!readInfo(n, &pattern) || !readInfo(n + 1, &name))
                break;
            filters_.push_back(std::move(pattern));
            filterNames_.push_back(std::move(name));
        }
    } catch (...) {
        // The destructor does not run for a half-built object: a library that
        // faulted here stays mapped as it does when a built object goes.
        if (faulted())
            handle_->keepLoaded();
        throw;
    }
}

TSPI::~TSPI()
{
    filters_.clear();
    filterNames_.clear();
    if (handle_ && faulted())
        handle_->keepLoaded();
    handle_.reset();
}

bool TSPI::faulted() const
{
    std::lock_guard lock(faultedMutex);
    return faultedLibraries.count(fileName_) != 0;
}

void* TSPI::bind(const char* name) const
{
    return handle_->symbol(name);
}

bool TSPI::readInfo(int32_t infono, std::string* text)
{
    char buffer[kInfoBufferSize] = {};
    if (GetPluginInfo(infono, buffer, kInfoLength) <= 0)
        return false;
    *text = std::string(buffer, strnlen(buffer, sizeof buffer));
    return true;
}

void TSPI::reportFault(const char* entry, int signal)
{
    {
        std::lock_guard lock(faultedMutex);
        faultedLibraries.insert(fileName_);
    }
    throw ESPIFault(fileName_, entry, signal);
}

template <class Call>
int32_t TSPI::callGuarded(const char* entry, Call&& call)
{
    if (faulted())
        throw ESPIDisabledSPI(fileName_);
    int32_t result = 0;
    auto guarded = [&]() noexcept { result = call(); };
    platform::FaultReport report;
    if (!platform::runGuarded(guarded, &report))
        reportFault(entry, report.signal);
    return result;
}

int32_t TSPI::GetPluginInfo(int32_t infono, char* buf, int32_t buflen)
{
    if (getPluginInfo_ == nullptr)
        throw ESPIInvalidAPI("GetPluginInfo", fileName_);
    return callGuarded("GetPluginInfo", [&] { return getPluginInfo_(infono, buf, buflen); });
}

TInSPI::TInSPI(const std::string& path) : TSPI(path)
{
    isSupported_ = reinterpret_cast<decltype(isSupported_)>(bind("IsSupported"));
    getPictureInfo_ = reinterpret_cast<decltype(getPictureInfo_)>(bind("GetPictureInfo"));
    getPicture_ = reinterpret_cast<decltype(getPicture_)>(bind("GetPicture"));
    getPreview_ = reinterpret_cast<decltype(getPreview_)>(bind("GetPreview"));
    if (isSupported_ == nullptr || getPictureInfo_ == nullptr || getPicture_ == nullptr)
        throw ESPIInvalidSPI(FileName());
}

int32_t TInSPI::IsSupported(const char* filename, const void* dw)
{
    if (isSupported_ == nullptr)
        throw ESPIInvalidAPI("IsSupported", FileName());
    return callGuarded("IsSupported", [&] { return isSupported_(filename, dw); });
}

int32_t TInSPI::GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo)
{
    if (getPictureInfo_ == nullptr)
        throw ESPIInvalidAPI("GetPictureInfo", FileName());
    return callGuarded("GetPictureInfo", [&] { return getPictureInfo_(buf, len, flag, lpInfo); });
}

int32_t TInSPI::GetPicture(const char* buf, intptr_t len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                           SPI_PROGRESS progress, intptr_t lData)
{
    if (getPicture_ == nullptr)
        throw ESPIInvalidAPI("GetPicture", FileName());
    return callGuarded("GetPicture",
                       [&] { return getPicture_(buf, len, flag, pHBInfo, pHBm, progress, lData); });
}

std::unique_ptr<TSPI> CreateSPI(const std::string& path)
{
    try {
        const SPIClass* chosen = spiClassOf<TSPI>();
        {
            const TSPI probe(path);
            const std::string& version = probe.APIVersion();
            if (version == "00IN")
                chosen = spiClassOf<TInSPI>();
            else if (version == "00AM")
                chosen = spiClassOf<TAmSPI>();
            else if (version == "00XN")
                chosen = spiClassOf<TXnSPI>();
            // The second object is made while the probe still holds the library;
            // the probe goes when this block ends, also when that construction fails.
            return chosen->construct(path);
        }
    } catch (const ESPIInvalidSPI&) {
        return nullptr;
    } catch (const ESPIFOpenErrorSPI&) {
        return nullptr;
    }
}

} // namespace tavo
