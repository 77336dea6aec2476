// One loaded Susie plug-in library, and the factory that picks its class from
// the plug-in's own API version.
#pragma once

#include "platform/ModuleLoader.h"
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
    // Raises ESPIFOpenErrorSPI, ESPIInvalidSPI, or ESPIFault for a fault inside
    // GetPluginInfo; whatever was acquired is released once.
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

    // A plug-in that faulted in this run; it is never called again.
    bool faulted() const;

protected:
    void* bind(const char* name) const;

    // Calls an entry point under the fault guard. A fault marks the library as
    // faulted and raises ESPIFault; a faulted library raises ESPIDisabledSPI.
    template <class Call>
    int32_t callGuarded(const char* entry, Call&& call);

private:
    // Info text n read with a 256-byte buffer and the length 255; nothing when
    // the plug-in gives none.
    bool readInfo(int32_t infono, std::string* text);
    [[noreturn]] void reportFault(const char* entry, int signal);

    std::unique_ptr<platform::Module> handle_;
    std::string fileName_;
    std::string apiVersion_;
    std::string pluginName_;
    std::vector<std::string> filters_;
    std::vector<std::string> filterNames_;
    decltype(&::GetPluginInfo) getPluginInfo_ = nullptr;
};

class TInSPI : public TSPI {
public:
    static constexpr const char* className = "TInSPI";
    // Also binds IsSupported, GetPictureInfo and GetPicture (ESPIInvalidSPI when
    // one is missing) and GetPreview when present.
    explicit TInSPI(const std::string& path);

    int32_t IsSupported(const char* filename, const void* dw);
    int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SPI_PICTINFO* lpInfo);
    int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                       SPI_PROGRESS progress, intptr_t lData);
    bool hasPreview() const { return getPreview_ != nullptr; }

private:
    decltype(&::GetPictureInfo) getPictureInfo_ = nullptr;
    decltype(&::IsSupported) isSupported_ = nullptr;
    decltype(&::GetPicture) getPicture_ = nullptr;
    decltype(&::GetPreview) getPreview_ = nullptr;
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
