// One loaded Susie plug-in library, and the factory that picks its class from
// the plug-in's own API version. The library lives in a plug-in host process
// (PluginHosts): loading it and calling its entry points are requests to the
// host, and a host lost during one raises ESPIFault.
#pragma once

#include "plugins/HostChannel.h"
#include "sdk/spi_plugin.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace tavo {

class TSPI;

// A class of the plug-in tree as a value: what CreateSPI constructs at run time
// and what FindSPIs filters by (instances of subclasses count).
struct SPIClass {
    const char* name;
    bool (*isInstance)(const TSPI& spi);
    std::unique_ptr<TSPI> (*construct)(const std::string& path);
};

template <class T>
const SPIClass* spiClassOf();

class TSPI {
public:
    static constexpr const char* className = "TSPI";
    // Loads the library, binds GetPluginInfo and reads every information text.
    // Raises ESPIFOpenErrorSPI (also for a library that brought its host down
    // earlier in the run), ESPIInvalidSPI, or ESPIFault when the host is lost
    // while loading or asking; whatever was acquired is released once.
    explicit TSPI(const std::string& path);
    virtual ~TSPI();
    TSPI(const TSPI&) = delete;
    TSPI& operator=(const TSPI&) = delete;

    int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen);

    const std::string& FileName() const { return fileName_; }
    const std::string& APIVersion() const { return apiVersion_; }
    const std::string& PluginName() const { return pluginName_; }
    const std::vector<std::string>& Filters() const { return filters_; }
    const std::vector<std::string>& FilterNames() const { return filterNames_; }

    // A plug-in whose host was lost during one of its calls in this run; it is
    // never called again.
    bool faulted() const;

protected:
    // Whether the library exports the entry point (one of TAVO_ENTRY_*).
    bool exports(std::uint32_t entry) const { return (entries_ & entry) != 0; }

    // Runs call(host, library) on the library in its running host, loading it
    // there again first when the host is a fresh one. A lost host marks the
    // library as faulted and raises ESPIFault; a faulted library raises
    // ESPIDisabledSPI.
    template <class Call>
    auto onHost(const char* entry, Call&& call);

private:
    // Info text n read with a 256-byte buffer and the length 255; nothing when
    // the plug-in gives none.
    bool readInfo(int32_t infono, std::string* text);
    // Takes a library's load and texts as an earlier run kept them; raises as
    // that load did.
    void adopt(const LibraryFacts& facts);
    void ensureLoaded(class PluginHost& host);

    const HostKind* kind_ = nullptr;
    std::string path_; // as given: what a fresh host loads
    std::uint64_t hostSerial_ = 0;
    std::uint32_t library_ = 0;
    std::uint32_t entries_ = 0;
    std::string fileName_;
    std::string apiVersion_;
    std::string pluginName_;
    std::vector<std::string> filters_;
    std::vector<std::string> filterNames_;
};

// The two blocks of a decoded picture, read-only, as long as the object lives.
struct TSPIPicture {
    std::unique_ptr<IncomingBlock> info;
    std::unique_ptr<IncomingBlock> bits;
};

class TInSPI : public TSPI {
public:
    static constexpr const char* className = "TInSPI";
    // Also binds IsSupported, GetPictureInfo and GetPicture (ESPIInvalidSPI when
    // one is missing) and GetPreview when present.
    explicit TInSPI(const std::string& path);

    // The host reads the data in place when it is the load in progress
    // (PluginHosts::LoadScope), else from a copy.
    int32_t IsSupported(const char* filename, const void* dw);
    // The host takes the info text from the plug-in's handle and frees it:
    // lpInfo->hInfo comes back empty, and *infoText, when asked for, holds the
    // text (hasInfoText tells whether there was one).
    int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo,
                           std::string* infoText = nullptr, bool* hasInfoText = nullptr);
    // On 0 the picture holds both blocks, or neither when the plug-in returned
    // handles its host did not know. The host has freed the handles.
    int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, TSPIPicture* picture, SPI_PROGRESS progress,
                       intptr_t lData);
    bool hasPreview() const { return exports(TAVO_ENTRY_PREVIEW); }
};

// API version "00AM"; nothing of its own.
class TAmSPI : public TSPI {
public:
    static constexpr const char* className = "TAmSPI";
    using TSPI::TSPI;
};

// API version "00XN"; nothing of its own.
class TXnSPI : public TSPI {
public:
    static constexpr const char* className = "TXnSPI";
    using TSPI::TSPI;
};

// Loads the library twice: once to read its version, then as the class that
// version names. A file that is no loadable library or no plug-in gives nothing;
// any other error (a fault inside the plug-in) propagates.
std::unique_ptr<TSPI> CreateSPI(const std::string& path);

template <class T>
const SPIClass* spiClassOf()
{
    static const SPIClass info{
        T::className,
        [](const TSPI& spi) {
            if constexpr (std::is_same_v<T, TSPI>)
                return true;
            else
                return dynamic_cast<const T*>(&spi) != nullptr;
        },
        [](const std::string& path) -> std::unique_ptr<TSPI> { return std::make_unique<T>(path); },
    };
    return &info;
}

} // namespace tavo
