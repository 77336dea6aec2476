// The one registry of Susie plug-ins in the process: finds the *.spi files of
// the configured folders, keeps a plug-in object for each, registers their
// picture formats, and gives the plug-ins in the order a decode tries them.
#pragma once

#include "plugins/PictureFormats.h"
#include "plugins/SPI.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavo {

enum TSPISearchOption : std::uint8_t { spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir };

// A set of search options; member i is the bit 2 to the power i of one byte.
class TSPISearchOptions {
public:
    TSPISearchOptions() = default;
    TSPISearchOptions(std::initializer_list<TSPISearchOption> members)
    {
        for (TSPISearchOption m : members)
            bits_ = static_cast<std::uint8_t>(bits_ | (1u << m));
    }
    bool contains(TSPISearchOption member) const { return (bits_ & (1u << member)) != 0; }
    std::uint8_t bits() const { return bits_; }
    bool operator==(const TSPISearchOptions&) const = default;

private:
    std::uint8_t bits_ = 0;
};

class TSPIs;

// Asked for every new plug-in object; Accept comes in true.
using TSPISearchEvent = std::function<void(TSPIs& Sender, TSPI& ASPI, bool& Accept)>;
// Asked before each picture format is registered; may replace or empty the class.
using TSPIPictureRegisterEvent =
    std::function<void(TSPIs& Sender, TInSPI& ASPI, const std::string& AExtension,
                       const std::string& ADescription, TGraphicClass& AGraphicClass)>;

class TSPIs {
public:
    // Becomes the live registry; ESPIDupCreateSPIs while another one lives.
    TSPIs();
    ~TSPIs();
    TSPIs(const TSPIs&) = delete;
    TSPIs& operator=(const TSPIs&) = delete;

    // The owner calls this once its stored settings are applied: searches "*.spi"
    // when AutoSearch is on.
    void Loaded();
    // Whether Loaded has run (also when its search failed).
    bool isLoaded() const { return loaded_; }

    // A load that runs the search itself keeps the search's report of the
    // libraries it skipped for later, so that the load goes on; the owner
    // reports it when it would have searched.
    void keepSearchFault(const std::string& message) { searchFault_ = message; }
    std::string takeSearchFault() { return std::exchange(searchFault_, std::string()); }

    // Libraries that bring their host down are skipped and the search goes on;
    // afterwards ESPIFault reports them (one message per library, one per line).
    void Search(const std::string& mask);
    void Add(std::unique_ptr<TSPI> spi);
    void Insert(int index, std::unique_ptr<TSPI> spi);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(list_.size()); }
    TSPI& operator[](int index) const { return *list_.at(static_cast<std::size_t>(index)); }

    // Appends to result (not cleared) the plug-ins of the given classes: those
    // claiming the extension of name first, the one added last first, then the
    // others in the order added.
    void FindSPIs(std::initializer_list<const SPIClass*> classes, const std::string& name,
                  std::vector<TSPI*>& result) const;

    // Libraries the search found whose host was not ready (Wine makes its
    // prefix and starts its bridge in seconds): they take their place in the
    // list when resolvePending runs. pendingReady prepares their hosts
    // without waiting and tells whether resolvePending would not wait.
    // resolvePending waits when it must, and raises ESPIFault as Search does.
    bool hasPending() const { return !pending_.empty(); }
    bool pendingReady() const;
    void resolvePending();

    static void SetDefaultGraphicClass(TGraphicClass graphicClass);
    static TGraphicClass DefaultGraphicClass();

    bool AutoSearch = true;
    TSPISearchOptions SearchOptions{spsSusieDir, spsAppDir};
    TSPISearchEvent OnSearch;
    TSPIPictureRegisterEvent OnPictureRegister;

private:
    void SearchSources(const std::string& mask, std::vector<std::string>& faults);
    void SearchDir(const std::string& folder, const std::string& mask, std::vector<std::string>& faults);
    // Creates the plug-in object of path and inserts it at index when the
    // search accepts it; true when it was inserted.
    bool Consider(const std::string& path, int index, std::vector<std::string>& faults);
    static void reportFaults(const std::vector<std::string>& faults);

    struct Pending {
        std::string path;
        int index; // where the search would have put it
    };
    std::vector<Pending> pending_;

    std::vector<std::unique_ptr<TSPI>> list_;
    bool loaded_ = false;
    std::string searchFault_;
};

// The live registry, or nothing.
TSPIs* GlobalSPIs();

// The extension of a name or pattern with its dot: the text from the last "."
// on when no "/" follows it; empty otherwise. A bare ".pic" is its own extension.
std::string spiExtension(const std::string& name);

} // namespace tavo
