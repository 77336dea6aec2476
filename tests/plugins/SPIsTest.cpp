// The registry: the one live instance, the search sources, the trial order and
// the picture-format table.
#include "PluginTestSupport.h"
#include "platform/SearchFolders.h"
#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tavo;
using tavo::test::pluginPath;
using tavo::test::ScopedCurrentDir;
using tavo::test::ScopedEnv;
using tavo::test::TempFolder;

namespace {

std::vector<std::string> idsOf(const std::vector<TSPI*>& list)
{
    std::vector<std::string> ids;
    for (const TSPI* spi : list)
        ids.push_back(spi->PluginName().substr(std::string("Test plug-in ").size()));
    return ids;
}

std::vector<std::string> namesIn(const TSPIs& spis)
{
    std::vector<std::string> names;
    for (int i = 0; i < spis.Count(); ++i)
        names.push_back(std::filesystem::path(spis[i].FileName()).filename().string());
    return names;
}

std::size_t formatsFor(const std::string& extension)
{
    std::size_t n = 0;
    for (const PictureFormat& format : registeredFileFormats())
        n += format.extension == extension;
    return n;
}

// A Susie registry stand-in naming folder as the plug-in folder.
void writeSusieKey(const TempFolder& config, const std::string& contents)
{
    std::filesystem::create_directories(config.path() / "Susie");
    std::ofstream(config.path() / "Susie" / "Plug-in") << contents;
}

const TGraphicClassInfo testGraphic{"TTestGraphic"};

// Sets the default graphic class for the scope.
class ScopedGraphicClass {
public:
    explicit ScopedGraphicClass(TGraphicClass graphicClass) : old_(TSPIs::DefaultGraphicClass())
    {
        TSPIs::SetDefaultGraphicClass(graphicClass);
    }
    ~ScopedGraphicClass() { TSPIs::SetDefaultGraphicClass(old_); }

private:
    TGraphicClass old_;
};

} // namespace

TEST(SPIs, OnlyOneRegistryLives)
{
    EXPECT_EQ(GlobalSPIs(), nullptr);
    {
        TSPIs first;
        EXPECT_EQ(GlobalSPIs(), &first);
        try {
            TSPIs second;
            FAIL();
        } catch (const ESPIDupCreateSPIs& e) {
            EXPECT_STREQ(e.what(), "TSPIs は複数生成できません");
        }
        EXPECT_EQ(GlobalSPIs(), &first);
        EXPECT_TRUE(first.AutoSearch);
        EXPECT_EQ(first.SearchOptions, (TSPISearchOptions{spsSusieDir, spsAppDir}));
        EXPECT_EQ(first.SearchOptions.bits(), 3);
    }
    EXPECT_EQ(GlobalSPIs(), nullptr);
    TSPIs again;
    EXPECT_EQ(GlobalSPIs(), &again);
}

TEST(SPIs, TrialOrderPutsClaimersFirstLastAddedFirst)
{
    TSPIs spis;
    spis.Add(CreateSPI(pluginPath("p1"))); // *.pic
    spis.Add(CreateSPI(pluginPath("p2"))); // *.PIC
    spis.Add(CreateSPI(pluginPath("p3"))); // nothing
    spis.Add(CreateSPI(pluginPath("am"))); // not an import plug-in
    std::vector<TSPI*> order;
    spis.FindSPIs({spiClassOf<TInSPI>()}, "x.pic", order);
    EXPECT_EQ(idsOf(order), (std::vector<std::string>{"p2", "p1", "p3"}));
    order.clear();
    spis.FindSPIs({spiClassOf<TInSPI>()}, "photo.PiC", order);
    EXPECT_EQ(idsOf(order), (std::vector<std::string>{"p2", "p1", "p3"}));
    order.clear();
    spis.FindSPIs({spiClassOf<TInSPI>()}, "noextension", order);
    EXPECT_EQ(idsOf(order), (std::vector<std::string>{"p1", "p2", "p3"}));
    order.clear();
    spis.FindSPIs({spiClassOf<TInSPI>()}, ".pic", order);
    EXPECT_EQ(idsOf(order), (std::vector<std::string>{"p2", "p1", "p3"}));
    // A dot in a folder name is no extension.
    order.clear();
    spis.FindSPIs({spiClassOf<TInSPI>()}, "/a.pic/file", order);
    EXPECT_EQ(idsOf(order), (std::vector<std::string>{"p1", "p2", "p3"}));
    // The result list is not cleared: claimers go before what it held.
    std::vector<TSPI*> held{&spis[3]};
    spis.FindSPIs({spiClassOf<TInSPI>()}, "x.pic", held);
    EXPECT_EQ(held.size(), 4u);
    EXPECT_EQ(held[2], &spis[3]);
    // Every class of the tree, subclasses counted.
    order.clear();
    spis.FindSPIs({spiClassOf<TSPI>()}, "x.pic", order);
    EXPECT_EQ(order.size(), 4u);
    order.clear();
    spis.FindSPIs({spiClassOf<TAmSPI>()}, "x.pic", order);
    EXPECT_EQ(idsOf(order), std::vector<std::string>{"am"});
}

TEST(SPIs, InsertRegistersEachPatternsLastExtension)
{
    ScopedGraphicClass graphic(&testGraphic);
    const std::size_t max = formatsFor("max");
    const std::size_t mag = formatsFor("mag");
    const std::size_t empty = formatsFor("");
    TSPIs spis;
    spis.Add(CreateSPI(pluginPath("mag"))); // *.mag;*.max, *, *.tpc
    EXPECT_EQ(formatsFor("max"), max + 1);
    EXPECT_EQ(formatsFor("mag"), mag);
    EXPECT_EQ(formatsFor(""), empty + 1); // the pattern without a dot
    const PictureFormat last = registeredFileFormats().back();
    EXPECT_EQ(last.extension, "tpc");
    EXPECT_EQ(last.description, "Test picture");
    EXPECT_EQ(last.graphicClass, &testGraphic);
    std::vector<TSPI*> order;
    spis.FindSPIs({spiClassOf<TInSPI>()}, "a.max", order);
    spis.FindSPIs({spiClassOf<TInSPI>()}, "a.mag", order);
    spis.FindSPIs({spiClassOf<TInSPI>()}, "a", order);
    EXPECT_EQ(order.size(), 3u);
}

TEST(SPIs, OtherKindsAreKeptButRegisterNothing)
{
    ScopedGraphicClass graphic(&testGraphic);
    const std::size_t before = registeredFileFormats().size();
    TSPIs spis;
    for (const char* name : {"am", "xn", "lowercase", "noversion"})
        spis.Add(CreateSPI(pluginPath(name)));
    EXPECT_EQ(spis.Count(), 4);
    EXPECT_EQ(registeredFileFormats().size(), before);
    std::vector<TSPI*> order;
    spis.FindSPIs({spiClassOf<TInSPI>()}, "x.pic", order);
    EXPECT_TRUE(order.empty());
}

TEST(SPIs, EventsDecideWhatIsKeptAndRegistered)
{
    ScopedGraphicClass graphic(&testGraphic);
    TempFolder folder;
    folder.addPlugin("p1", "p1.spi");
    folder.addPlugin("tpc", "tpc.spi");
    folder.addPlugin("mag", "mag.spi");
    const std::size_t pic = formatsFor("pic");
    const std::size_t tpc = formatsFor("tpc");
    TSPIs spis;
    spis.OnSearch = [](TSPIs&, TSPI& spi, bool& accept) {
        EXPECT_TRUE(accept);
        if (spi.PluginName().ends_with("mag"))
            accept = false;
        if (spi.PluginName().ends_with("tpc"))
            throw std::runtime_error("refused by the handler");
    };
    std::vector<std::string> asked;
    spis.OnPictureRegister = [&](TSPIs& sender, TInSPI&, const std::string& extension,
                                 const std::string& description, TGraphicClass& graphicClass) {
        EXPECT_EQ(&sender, &spis);
        EXPECT_EQ(graphicClass, &testGraphic);
        asked.push_back(extension + "=" + description);
        graphicClass = nullptr;
    };
    spis.Search(folder.str() + "/*.spi");
    // mag refused, tpc lost to its handler's error, p1 kept but not registered.
    EXPECT_EQ(namesIn(spis), std::vector<std::string>{"p1.spi"});
    EXPECT_EQ(asked, std::vector<std::string>{"pic=Test PIC"});
    EXPECT_EQ(formatsFor("pic"), pic);
    EXPECT_EQ(formatsFor("tpc"), tpc);
}

TEST(SPIs, SearchDirTakesPluginFilesOnly)
{
    TempFolder folder;
    folder.addPlugin("p1", "p1.spi");
    folder.addPlugin("p2", "P2.SPI");            // the mask ignores case
    folder.addPlugin("p3", ".hidden.spi");       // hidden
    folder.addPlugin("tpc", "tpc.spi.bak");      // another extension
    folder.addFile("notes.spi", {'n', 'o', '\n'});
    std::filesystem::create_directory(folder.path() / "folder.spi");
    std::filesystem::create_symlink(folder.path() / "p1.spi", folder.path() / "link.spi");
    TSPIs spis;
    spis.SearchOptions = {};
    spis.Search(folder.str() + "/*.spi");
    auto names = namesIn(spis);
    std::sort(names.begin(), names.end());
    // The symbolic link names the same file: the loader reports one library
    // under its first path, so only the count tells.
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(platform::findFiles(folder.str(), "*.spi").size(), 4u); // p1, P2, notes, link
    // A folder that does not exist gives nothing and no error.
    spis.Search(folder.str() + "/missing/*.spi");
    EXPECT_EQ(spis.Count(), 3);
}

TEST(SPIs, SearchWithoutFolderVisitsTheSourcesInOrder)
{
    TempFolder config;
    TempFolder susie;
    TempFolder current;
    susie.addPlugin("p1", "p1.spi");
    current.addPlugin("p2", "p2.spi");
    writeSusieKey(config, "; the Susie plug-in folder\npath=" + susie.str() + "\n");
    ScopedEnv env("XDG_CONFIG_HOME", config.str());
    ScopedCurrentDir cd(current.path());
    TSPIs spis;
    spis.SearchOptions = {spsCurrentDir, spsSusieDir, spsSystemDir, spsWindowsDir};
    spis.Search("*.spi");
    EXPECT_EQ(namesIn(spis), (std::vector<std::string>{"p1.spi", "p2.spi"}));
    // The mask's folder part overrides the options.
    spis.Clear();
    spis.Search(current.str() + "/*.spi");
    EXPECT_EQ(namesIn(spis), std::vector<std::string>{"p2.spi"});
}

TEST(SPIs, SameFolderTwiceLoadsEverythingTwice)
{
    ScopedGraphicClass graphic(&testGraphic);
    TempFolder config;
    TempFolder folder;
    folder.addPlugin("p1", "p1.spi");
    writeSusieKey(config, "Path=" + folder.str() + "/\n"); // with its trailing delimiter
    ScopedEnv env("XDG_CONFIG_HOME", config.str());
    ScopedCurrentDir cd(folder.path());
    const std::size_t pic = formatsFor("pic");
    TSPIs spis;
    spis.SearchOptions = {spsSusieDir, spsCurrentDir};
    spis.Loaded();
    ASSERT_EQ(spis.Count(), 2);
    EXPECT_EQ(formatsFor("pic"), pic + 2);
    std::vector<TSPI*> order;
    spis.FindSPIs({spiClassOf<TInSPI>()}, "x.pic", order);
    EXPECT_EQ(order.size(), 2u);
    EXPECT_NE(order[0], order[1]);
    // Deleting one leaves the other usable.
    spis.Delete(0);
    std::vector<uint8_t> block(2048, 0);
    EXPECT_EQ(static_cast<TInSPI&>(spis[0]).IsSupported("", block.data()), 0);
}

TEST(SPIs, SusieKeyThatGivesNoFolder)
{
    TempFolder config;
    TempFolder current;
    current.addPlugin("p1", "p1.spi");
    ScopedEnv env("XDG_CONFIG_HOME", config.str());
    ScopedCurrentDir cd(current.path());
    // No key file, a key without Path, an empty Path, a folder in place of the
    // key (a read error): each gives nothing and the next source still runs.
    const std::vector<std::function<void()>> setups = {
        [] {},
        [&] { writeSusieKey(config, "Other=1\n"); },
        [&] { writeSusieKey(config, "Path=\n"); },
        [&] {
            std::filesystem::remove(config.path() / "Susie" / "Plug-in");
            std::filesystem::create_directories(config.path() / "Susie" / "Plug-in");
        },
    };
    for (const auto& setup : setups) {
        setup();
        TSPIs spis;
        spis.SearchOptions = {spsSusieDir, spsCurrentDir};
        spis.Search("*.spi");
        EXPECT_EQ(namesIn(spis), std::vector<std::string>{"p1.spi"});
    }
    EXPECT_EQ(platform::susieRegistryPath(), std::nullopt);
}

TEST(SPIs, SusieKeyFileFollowsXdgConfigHome)
{
    {
        ScopedEnv env("XDG_CONFIG_HOME", std::string("/cfg"));
        EXPECT_EQ(platform::susieRegistryFile(), "/cfg/Susie/Plug-in");
    }
    ScopedEnv home("HOME", std::string("/home/u"));
    for (const std::optional<std::string>& value : {std::optional<std::string>(), std::optional<std::string>(""),
                                                    std::optional<std::string>("relative")}) {
        ScopedEnv env("XDG_CONFIG_HOME", value);
        EXPECT_EQ(platform::susieRegistryFile(), "/home/u/.config/Susie/Plug-in");
    }
}

TEST(SPIs, FaultWhileCreatingCostsThatLibraryAndIsReportedOnceTheSearchIsOver)
{
    TempFolder folder;
    const std::string bad = folder.addPlugin("faultinfo", "a-faultinfo.spi");
    folder.addPlugin("p1", "b-good.spi");
    folder.addPlugin("p2", "c-good.spi");
    TSPIs spis;
    try {
        spis.Search(folder.str() + "/*.spi");
        FAIL() << "the fault was not reported";
    } catch (const ESPIFault& e) {
        EXPECT_EQ(std::string(e.what()), bad + ":Susie PluginのGetPluginInfoで異常が発生しました（メモリ保護違反）");
    }
    // Whatever order the folder gives, both good plug-ins were found and work.
    ASSERT_EQ(spis.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        char text[256] = {};
        EXPECT_GT(spis[i].GetPluginInfo(0, text, 255), 0);
        EXPECT_STREQ(text, "00IN");
    }
}

TEST(SPIs, ClearDestroysAndGlobalGoesWithTheRegistry)
{
    auto spis = std::make_unique<TSPIs>();
    spis->Add(CreateSPI(pluginPath("p1")));
    spis->Add(CreateSPI(pluginPath("p2")));
    spis->Clear();
    EXPECT_EQ(spis->Count(), 0);
    spis.reset();
    EXPECT_EQ(GlobalSPIs(), nullptr);
}

TEST(SPIs, MaskMatching)
{
    EXPECT_TRUE(platform::matchesMask("a.spi", "*.spi"));
    EXPECT_TRUE(platform::matchesMask("A.SpI", "*.spi"));
    EXPECT_FALSE(platform::matchesMask("a.spix", "*.spi"));
    EXPECT_TRUE(platform::matchesMask("ab.spi", "a?.spi"));
    EXPECT_FALSE(platform::matchesMask("a.spi", "a?.spi"));
    EXPECT_TRUE(platform::matchesMask("x.y.spi", "*.*"));
    EXPECT_TRUE(platform::matchesMask("anything", "*"));
}
