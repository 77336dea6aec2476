#include "plugins/SPIs.h"

#include "imaging/PathParts.h"
#include "platform/SearchFolders.h"
#include "plugins/PluginHosts.h"
#include "plugins/SPIErrors.h"

#include <algorithm>

namespace tavo {

namespace {

TSPIs* liveRegistry = nullptr;
TGraphicClass defaultGraphicClass = nullptr;

constexpr std::size_t kMaxExtensionLength = 255;

constexpr const char* kPluginMask = "*.spi";
constexpr const char* kWindows64PluginMask = "*.sph";

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return upperCaseAscii(a) == upperCaseAscii(b);
}

std::string withTrailingDelimiter(const std::string& folder)
{
    return !folder.empty() && folder.back() == kPathDelimiter ? folder : folder + kPathDelimiter;
}

} // namespace

std::string spiExtension(const std::string& name)
{
    return extensionPart(name);
}

TSPIs* GlobalSPIs()
{
    return liveRegistry;
}

void TSPIs::SetDefaultGraphicClass(TGraphicClass graphicClass)
{
    defaultGraphicClass = graphicClass;
}

TGraphicClass TSPIs::DefaultGraphicClass()
{
    return defaultGraphicClass;
}

TSPIs::TSPIs()
{
    if (liveRegistry != nullptr)
        throw ESPIDupCreateSPIs();
    liveRegistry = this;
}

TSPIs::~TSPIs()
{
    if (liveRegistry == this)
        liveRegistry = nullptr;
    Clear();
}

void TSPIs::Loaded()
{
    loaded_ = true;
    if (AutoSearch)
        Search("*.spi");
}

void TSPIs::Search(const std::string& mask)
{
    std::vector<std::string> faults;
    SearchSources(mask, faults);
    reportFaults(faults);
}

void TSPIs::reportFaults(const std::vector<std::string>& faults)
{
    // Each library that brought its host down was skipped; all of them are
    // reported together once the search is over.
    if (faults.size() == 1)
        throw ESPIFault(faults.front());
    if (!faults.empty()) {
        std::string text = faults.front();
        for (std::size_t i = 1; i < faults.size(); ++i)
            text += "\n" + faults[i];
        throw ESPIFault(text);
    }
}

bool TSPIs::pendingReady() const
{
    bool ready = true;
    for (const Pending& pending : pending_)
        ready = PluginHosts::instance().prepare(pending.path) && ready;
    return ready;
}

void TSPIs::resolvePending()
{
    std::vector<Pending> pending;
    pending.swap(pending_);
    std::vector<std::string> faults;
    int inserted = 0;
    for (const Pending& entry : pending) {
        if (Consider(entry.path, std::min(entry.index + inserted, Count()), faults))
            ++inserted;
    }
    reportFaults(faults);
}

void TSPIs::SearchSources(const std::string& mask, std::vector<std::string>& faults)
{
    const std::string folder = folderPart(mask);
    if (!folder.empty()) {
        SearchDir(folder, fileNamePart(mask), faults);
        return;
    }
    // The sources in their fixed order. An empty or missing Susie folder gives
    // nothing: used as it stands it would become the root folder.
    if (SearchOptions.contains(spsSusieDir)) {
        const auto path = platform::susieRegistryPath();
        if (path && !path->empty())
            SearchDir(withTrailingDelimiter(*path), mask, faults);
    }
    if (SearchOptions.contains(spsAppDir)) {
        const std::string path = platform::programFolder();
        if (!path.empty())
            SearchDir(withTrailingDelimiter(path), mask, faults);
    }
    if (SearchOptions.contains(spsCurrentDir)) {
        const std::string path = platform::currentFolder();
        if (!path.empty())
            SearchDir(withTrailingDelimiter(path), mask, faults);
    }
    // spsSystemDir and spsWindowsDir: this platform has no such folders.
}

void TSPIs::SearchDir(const std::string& folder, const std::string& mask, std::vector<std::string>& faults)
{
    std::vector<std::string> paths;
    for (const std::string& name : platform::findFiles(folder, mask))
        paths.push_back(folder + name);
    // 64-bit Windows plug-ins carry the extension .sph: a search for plug-ins
    // takes them too, after the *.spi files of the same folder.
    if (equalsIgnoringAsciiCase(mask, kPluginMask)) {
        for (const std::string& name : platform::findFiles(folder, kWindows64PluginMask))
            paths.push_back(folder + name);
    }
    for (const std::string& path : paths) {
        // A library whose host must first be prepared (Wine) waits until it
        // is, unless an earlier run told its texts: its place is kept.
        if (PluginHosts::instance().startsSlowly(path)) {
            pending_.push_back({path, Count()});
            continue;
        }
        Consider(path, Count(), faults);
    }
}

bool TSPIs::Consider(const std::string& path, int index, std::vector<std::string>& faults)
{
    std::unique_ptr<TSPI> spi;
    // A library that faults, exits or hangs while it is loaded or asked for
    // its texts costs only itself: the search goes on with the next file.
    try {
        spi = CreateSPI(path);
    } catch (const ESPIFault& fault) {
        faults.emplace_back(fault.what());
        return false;
    }
    if (!spi)
        return false;
    // An error of the event or of the registration costs this plug-in only.
    try {
        bool accept = true;
        if (OnSearch)
            OnSearch(*this, *spi, accept);
        if (!accept)
            return false;
        Insert(index, std::move(spi));
        return true;
    } catch (...) {
        // The object is gone already: still held here, or removed by Insert.
        return false;
    }
}

void TSPIs::Add(std::unique_ptr<TSPI> spi)
{
    Insert(Count(), std::move(spi));
}

void TSPIs::Insert(int index, std::unique_ptr<TSPI> spi)
{
    const std::size_t at = std::min(static_cast<std::size_t>(std::max(index, 0)), list_.size());
    TSPI* object = spi.get();
    list_.insert(list_.begin() + static_cast<std::ptrdiff_t>(at), std::move(spi));
    auto* inSpi = dynamic_cast<TInSPI*>(object);
    if (inSpi == nullptr)
        return;
    try {
        for (std::size_t i = 0; i < inSpi->Filters().size(); ++i) {
            TGraphicClass graphicClass = defaultGraphicClass;
            std::string extension = spiExtension(inSpi->Filters()[i]);
            if (!extension.empty())
                extension.erase(0, 1);
            if (extension.size() > kMaxExtensionLength)
                extension.resize(kMaxExtensionLength);
            const std::string& description = inSpi->FilterNames()[i];
            if (OnPictureRegister)
                OnPictureRegister(*this, *inSpi, extension, description, graphicClass);
            if (graphicClass != nullptr)
                RegisterFileFormat(extension, description, graphicClass);
        }
    } catch (...) {
        // The object does not stay in the list when its registration fails.
        const auto it = std::find_if(list_.begin(), list_.end(),
                                     [&](const std::unique_ptr<TSPI>& p) { return p.get() == object; });
        if (it != list_.end())
            list_.erase(it);
        throw;
    }
}

void TSPIs::Delete(int index)
{
    list_.at(static_cast<std::size_t>(index)); // range check
    const auto at = list_.begin() + index;
    at->reset();
    list_.erase(at);
}

void TSPIs::Clear()
{
    while (!list_.empty())
        Delete(0);
}

void TSPIs::FindSPIs(std::initializer_list<const SPIClass*> classes, const std::string& name,
                     std::vector<TSPI*>& result) const
{
    const std::string extension = spiExtension(name);
    std::vector<TSPI*> claimed;
    std::vector<TSPI*> others;
    for (const auto& spi : list_) {
        const bool wanted = std::any_of(classes.begin(), classes.end(),
                                        [&](const SPIClass* c) { return c->isInstance(*spi); });
        if (!wanted)
            continue;
        const bool claims = !extension.empty() &&
            std::any_of(spi->Filters().begin(), spi->Filters().end(), [&](const std::string& pattern) {
                return equalsIgnoringAsciiCase(spiExtension(pattern), extension);
            });
        if (claims)
            claimed.insert(claimed.begin(), spi.get());
        else
            others.push_back(spi.get());
    }
    // Inserting each claimer at the head of result puts them before what result
    // held already; the others are appended at its end.
    result.insert(result.begin(), claimed.begin(), claimed.end());
    result.insert(result.end(), others.begin(), others.end());
}

} // namespace tavo
