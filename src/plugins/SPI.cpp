#include "plugins/SPI.h"

#include "plugins/PluginHosts.h"
#include "plugins/SPIErrors.h"

#include <algorithm>
#include <cstring>

namespace tavo {

namespace {

// The texts are read from a 256-byte buffer handed over with the length 255, so
// a plug-in that fills all 255 bytes still leaves the last byte zero.
constexpr int32_t kInfoBufferSize = 256;
constexpr int32_t kInfoLength = 255;

// The pattern list has no end of its own; a plug-in that answers every number
// would otherwise keep the search busy for ever. No real plug-in comes near it.
constexpr int32_t kMaxFilterPairs = 1024;

} // namespace

TSPI::TSPI(const std::string& path) : path_(path)
{
    PluginHosts& hosts = PluginHosts::instance();
    // A library that brought its host down is not loaded again in this run.
    if (hosts.faulted(path))
        throw ESPIFOpenErrorSPI(path);
    kind_ = hosts.kindFor(path);
    if (kind_ == nullptr)
        throw ESPIFOpenErrorSPI(path);
    fileName_ = path;
    // A library whose load and texts an earlier run kept is registered from
    // them; its host loads it at its first call.
    if (const auto facts = kind_->remembered(path)) {
        adopt(*facts);
        return;
    }
    LoadReply loaded;
    try {
        PluginHost& host = hosts.host(*kind_);
        loaded = host.load(path);
        if (loaded.status == TAVO_LOAD_OK) {
            library_ = loaded.library;
            hostSerial_ = host.serial();
        }
    } catch (const HostLost& lost) {
        hosts.markFaulted(path);
        throw ESPIFault(path, kLoadEntry, lost.reason(), lost.signal());
    }
    LibraryFacts facts;
    facts.status = loaded.status;
    facts.entries = loaded.entries;
    facts.modulePath = loaded.modulePath;
    if (loaded.status != TAVO_LOAD_OK) {
        kind_->remember(path, facts);
        adopt(facts);
    }
    entries_ = loaded.entries;
    if (!loaded.modulePath.empty())
        fileName_ = loaded.modulePath;
    try {
        if (readInfo(0, &apiVersion_))
            facts.apiVersion = apiVersion_;
        if (readInfo(1, &pluginName_))
            facts.pluginName = pluginName_;
        for (int32_t n = 2; n < 2 + 2 * kMaxFilterPairs; n += 2) {
            std::string pattern;
            std::string name;
            if (!readInfo(n, &pattern) || !readInfo(n + 1, &name))
                break;
            filters_.push_back(std::move(pattern));
            filterNames_.push_back(std::move(name));
        }
    } catch (...) {
        // The destructor does not run for a half-built object.
        if (PluginHost* host = hosts.runningHost(*kind_, hostSerial_)) {
            try {
                host->unload(library_);
            } catch (const HostLost&) {
            }
        }
        throw;
    }
    facts.filters = filters_;
    facts.filterNames = filterNames_;
    kind_->remember(path, facts);
}

void TSPI::adopt(const LibraryFacts& facts)
{
    if (facts.status == TAVO_LOAD_CANNOT_LOAD)
        throw ESPIFOpenErrorSPI(path_);
    if (!facts.modulePath.empty())
        fileName_ = facts.modulePath;
    if (facts.status != TAVO_LOAD_OK)
        throw ESPIInvalidSPI(fileName_);
    entries_ = facts.entries;
    apiVersion_ = facts.apiVersion.value_or("");
    pluginName_ = facts.pluginName.value_or("");
    filters_ = facts.filters;
    filterNames_ = facts.filterNames;
}

TSPI::~TSPI()
{
    filters_.clear();
    filterNames_.clear();
    // Released in the host that holds it; a host lost since holds nothing.
    if (PluginHost* host = PluginHosts::instance().runningHost(*kind_, hostSerial_)) {
        try {
            host->unload(library_);
        } catch (const HostLost&) {
            // The next call starts a fresh host.
        }
    }
}

bool TSPI::faulted() const
{
    const PluginHosts& hosts = PluginHosts::instance();
    return hosts.faulted(fileName_) || hosts.faulted(path_);
}

void TSPI::ensureLoaded(PluginHost& host)
{
    if (hostSerial_ == host.serial())
        return;
    const LoadReply loaded = host.load(path_);
    if (loaded.status != TAVO_LOAD_OK)
        throw ESPIFOpenErrorSPI(path_);
    library_ = loaded.library;
    hostSerial_ = host.serial();
}

template <class Call>
auto TSPI::onHost(const char* entry, Call&& call)
{
    if (faulted())
        throw ESPIDisabledSPI(fileName_);
    PluginHosts& hosts = PluginHosts::instance();
    try {
        PluginHost& host = hosts.host(*kind_);
        ensureLoaded(host);
        return call(host, library_);
    } catch (const HostLost& lost) {
        hosts.markFaulted(fileName_);
        hosts.markFaulted(path_);
        throw ESPIFault(fileName_, entry, lost.reason(), lost.signal());
    }
}

bool TSPI::readInfo(int32_t infono, std::string* text)
{
    char buffer[kInfoBufferSize] = {};
    if (GetPluginInfo(infono, buffer, kInfoLength) <= 0)
        return false;
    *text = std::string(buffer, strnlen(buffer, sizeof buffer));
    return true;
}

int32_t TSPI::GetPluginInfo(int32_t infono, char* buf, int32_t buflen)
{
    // The host hands the plug-in a buffer of its own; the text comes back and
    // is written here as the plug-in wrote it there.
    const int32_t asked = std::min<int32_t>(buflen, TAVO_HOST_MAX_INFO_TEXT);
    const PluginInfoReply reply =
        onHost("GetPluginInfo", [&](PluginHost& host, std::uint32_t library) { return host.pluginInfo(library, infono, asked); });
    if (buf != nullptr && asked > 0) {
        std::memcpy(buf, reply.text.data(), reply.text.size());
        if (reply.text.size() < static_cast<std::size_t>(asked))
            buf[reply.text.size()] = 0;
    }
    return reply.result;
}

TInSPI::TInSPI(const std::string& path) : TSPI(path)
{
    if (!exports(TAVO_ENTRY_IS_SUPPORTED) || !exports(TAVO_ENTRY_PICTURE_INFO) || !exports(TAVO_ENTRY_PICTURE))
        throw ESPIInvalidSPI(FileName());
}

int32_t TInSPI::IsSupported(const char* filename, const void* dw)
{
    if (!exports(TAVO_ENTRY_IS_SUPPORTED))
        throw ESPIInvalidAPI("IsSupported", FileName());
    const std::string name = filename != nullptr ? filename : "";
    return onHost("IsSupported", [&](PluginHost& host, std::uint32_t library) {
        std::unique_ptr<OutgoingBlock> copy;
        const OutgoingRegion block = PluginHosts::instance().dataRegion(
            host, dw, TAVO_HOST_MIN_SUPPORTED_BLOCK, TAVO_HOST_MIN_SUPPORTED_BLOCK, &copy);
        return host.isSupported(library, name, block);
    });
}

int32_t TInSPI::GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo,
                               std::string* infoText, bool* hasInfoText)
{
    if (!exports(TAVO_ENTRY_PICTURE_INFO))
        throw ESPIInvalidAPI("GetPictureInfo", FileName());
    const auto length = static_cast<std::uint64_t>(std::max<intptr_t>(len, 0));
    const PictureInfoReply reply = onHost("GetPictureInfo", [&](PluginHost& host, std::uint32_t library) {
        std::unique_ptr<OutgoingBlock> copy;
        const OutgoingRegion data = PluginHosts::instance().dataRegion(host, buf, length, 0, &copy);
        return host.pictureInfo(library, data, length, flag);
    });
    if (reply.numbers.result == 0 && lpInfo != nullptr) {
        std::memset(lpInfo, 0, sizeof *lpInfo);
        lpInfo->left = reply.numbers.left;
        lpInfo->top = reply.numbers.top;
        lpInfo->width = reply.numbers.width;
        lpInfo->height = reply.numbers.height;
        lpInfo->x_density = reply.numbers.xDensity;
        lpInfo->y_density = reply.numbers.yDensity;
        lpInfo->colorDepth = reply.numbers.colorDepth;
    }
    if (infoText != nullptr)
        *infoText = reply.text;
    if (hasInfoText != nullptr)
        *hasInfoText = reply.numbers.hasText != 0;
    return reply.numbers.result;
}

int32_t TInSPI::GetPicture(const char* buf, intptr_t len, uint32_t flag, TSPIPicture* picture,
                           SPI_PROGRESS progress, intptr_t lData)
{
    if (!exports(TAVO_ENTRY_PICTURE))
        throw ESPIInvalidAPI("GetPicture", FileName());
    const auto length = static_cast<std::uint64_t>(std::max<intptr_t>(len, 0));
    // The plug-in's progress calls come back from the host; the callback runs
    // here, with the caller's own value.
    const PluginHost::Progress relay = [&](std::int32_t num, std::int32_t denom) {
        return progress != nullptr ? progress(num, denom, lData) : 0;
    };
    PluginHost::Picture received = onHost("GetPicture", [&](PluginHost& host, std::uint32_t library) {
        std::unique_ptr<OutgoingBlock> copy;
        const OutgoingRegion data = PluginHosts::instance().dataRegion(host, buf, length, 0, &copy);
        return host.picture(library, data, length, flag, relay);
    });
    if (picture != nullptr) {
        picture->info = std::move(received.info);
        picture->bits = std::move(received.bits);
    }
    return received.result;
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
