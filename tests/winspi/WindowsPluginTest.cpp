// Windows plug-ins through the bridge under Wine: pictures of every depth and
// row order to the exact pixel, the plug-in contract's worked examples, a
// fault, an exit and a hang that each cost one load, the program and Susie
// folders through tavotavo-decode, and the cache that spares a later start
// from Wine. All tests of this program share one private Wine prefix: Wine
// takes half a minute to make one.
#include "TtrPictures.h"
#include "imaging/BmpReader.h"
#include "platform/WineRuntime.h"
#include "plugins/PluginDecoding.h"
#include "plugins/PluginInfoCache.h"
#include "plugins/SPI.h"
#include "plugins/SPIs.h"
#include "plugins/WineHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tavo::test {
namespace {

namespace fs = std::filesystem;

const std::string kPluginDir = TAVO_BINARY_DIR "/tests/winplugins";
const std::string kProgramDir = TAVO_BINARY_DIR "/bin";

// The scratch root of this test program: cache (and the Wine prefix in it),
// configuration and home.
std::string root;

class WineSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = "/tmp/tavo-winspi-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root + "/home");
        setenv("HOME", (root + "/home").c_str(), 1);
        setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("TAVO_SPI_HOST", (kProgramDir + "/tavotavo-spi-host").c_str(), 1);
        setenv("TAVO_SPI_BRIDGES", kProgramDir.c_str(), 1);
    }
    void TearDown() override
    {
        // Wine's server and services of the prefix end with it.
        for (const char* server : {"/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver32"}) {
            if (access(server, X_OK) == 0) {
                const std::string command = "WINEPREFIX='" + platform::winePrefixFolder() + "' " + server + " -k 2>/dev/null";
                (void)std::system(command.c_str());
            }
        }
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};
const auto* const session = ::testing::AddGlobalTestEnvironment(new WineSession);

struct Width {
    int bits;
    std::string suffix; // of its plug-ins: "32.spi" or "64.sph"
};

// The widths this machine runs: Wine's loader for it and the cross-built parts.
std::vector<Width> widths()
{
    std::vector<Width> found;
    for (const Width& w : {Width{32, "32.spi"}, Width{64, "64.sph"}}) {
        if (!platform::wineLoader(w.bits).empty() && fs::exists(wineBridgeProgram(w.bits)) &&
            fs::exists(kPluginDir + "/ttr" + w.suffix))
            found.push_back(w);
    }
    return found;
}

#define NEED_WINE()                                                                                                  \
    if (widths().empty())                                                                                            \
    GTEST_SKIP() << "Wine or the cross-built Windows parts are missing"

// A folder of its own for one test, inside the session's root.
std::string freshFolder(const std::string& name)
{
    const std::string path = root + "/" + name;
    fs::create_directories(path);
    return path;
}

std::string addPlugin(const std::string& folder, const std::string& built, const std::string& asName)
{
    fs::copy_file(kPluginDir + "/" + built, folder + "/" + asName, fs::copy_options::overwrite_existing);
    return folder + "/" + asName;
}

// The registry of a test: no search of its own, then the one folder, and the
// libraries that waited for Wine, as a load waits for them.
std::unique_ptr<TSPIs> registryOf(const std::string& folder, bool* waitedForWine = nullptr)
{
    auto registry = std::make_unique<TSPIs>();
    registry->AutoSearch = false;
    registry->Loaded();
    registry->Search(folder + "/*.spi");
    if (waitedForWine != nullptr)
        *waitedForWine = registry->hasPending();
    if (registry->hasPending())
        registry->resolvePending();
    return registry;
}

void expectPicture(const Bitmap& bitmap, const TtrPicture& picture, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(bitmap.width(), picture.width);
    ASSERT_EQ(bitmap.height(), picture.height);
    ASSERT_EQ(bitmap.bitCount(), picture.bitCount);
    const std::vector<std::uint8_t> palette = picture.palette();
    ASSERT_EQ(bitmap.palette().size(), picture.colours);
    for (std::size_t i = 0; i < picture.colours; ++i) {
        EXPECT_EQ(bitmap.palette()[i].blue, palette[4 * i]);
        EXPECT_EQ(bitmap.palette()[i].green, palette[4 * i + 1]);
        EXPECT_EQ(bitmap.palette()[i].red, palette[4 * i + 2]);
    }
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const std::vector<std::uint8_t> expected = picture.row(y);
        ASSERT_EQ(std::vector<std::uint8_t>(bitmap.row(y), bitmap.row(y) + expected.size()), expected) << "row " << y;
    }
}

std::string errorOf(const std::string& path)
{
    try {
        decodeThroughPlugins(path);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(WindowsPlugins, EveryDepthAndRowOrderArrivesPixelForPixelAsFromTheSameCodeBuiltNatively)
{
    NEED_WINE();
    std::vector<std::pair<std::string, std::string>> builds; // what, built file
    for (const Width& w : widths())
        builds.emplace_back(std::to_string(w.bits) + "-bit Windows", "ttr" + w.suffix);
    builds.emplace_back("native", "ttr.spi");
    const struct {
        std::uint16_t bits;
        std::uint16_t colours;
    } depths[] = {{1, 2}, {4, 16}, {8, 100}, {24, 0}, {32, 0}};
    for (const auto& [what, built] : builds) {
        const std::string folder = freshFolder("depths-" + built);
        addPlugin(folder, built, built);
        // Before the prefix is made the search does not wait for Wine: the
        // library keeps its place until its bridge is ready.
        const bool freshPrefix = !fs::exists(platform::winePrefixFolder() + "/tavotavo-ready");
        bool waited = false;
        const auto registry = registryOf(folder, &waited);
        if (freshPrefix && built != "ttr.spi") {
            EXPECT_TRUE(waited) << what;
        }
        ASSERT_EQ(registry->Count(), 1) << what;
        for (const auto& depth : depths) {
            for (const bool topDown : {false, true}) {
                TtrPicture picture;
                picture.bitCount = depth.bits;
                picture.colours = depth.colours;
                picture.width = 13 + depth.bits % 5;
                picture.height = topDown ? 7 : 150; // 150 rows report progress twice on the way
                picture.flags = TTR_PROGRESS | (topDown ? TTR_TOP_DOWN : 0u);
                picture.seed = static_cast<std::uint8_t>(depth.bits + topDown);
                const std::string path = folder + "/p" + std::to_string(depth.bits) + (topDown ? "t" : "b") + ".ttr";
                picture.write(path);
                expectPicture(decodeThroughPlugins(path), picture,
                              what + ", " + std::to_string(depth.bits) + " bits" + (topDown ? ", top-down" : ""));
            }
        }
    }
}

TEST(WindowsPlugins, VersionTextsPatternPairsInfoTextAndAMissingGetPreviewAsTheContractSays)
{
    NEED_WINE();
    const Width w = widths().front();
    const std::string folder = freshFolder("contract");
    addPlugin(folder, "ttr" + w.suffix, "ttr" + w.suffix);
    addPlugin(folder, "wlower" + w.suffix, "wlower" + w.suffix);
    addPlugin(folder, "wpairs" + w.suffix, "wpairs" + w.suffix);
    const auto registry = registryOf(folder);
    ASSERT_EQ(registry->Count(), 3);
    TSPI* lower = nullptr;
    TInSPI* ttr = nullptr;
    TInSPI* pairs = nullptr;
    for (int i = 0; i < registry->Count(); ++i) {
        TSPI& spi = (*registry)[i];
        EXPECT_EQ(fs::path(spi.FileName()).parent_path(), fs::path(folder)) << "the module's own path, as Unix sees it";
        const std::string name = fs::path(spi.FileName()).filename();
        if (name.rfind("wlower", 0) == 0)
            lower = &spi;
        else if (name.rfind("ttr", 0) == 0)
            ttr = dynamic_cast<TInSPI*>(&spi);
        else
            pairs = dynamic_cast<TInSPI*>(&spi);
    }
    // "00in" differs from "00IN" in letter case only: a plain plug-in, kept, never used.
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower->APIVersion(), "00in");
    EXPECT_EQ(dynamic_cast<TInSPI*>(lower), nullptr);
    // Answers for 2, 3 and 4 but not 5: one pattern, whose last extension counts.
    ASSERT_NE(pairs, nullptr);
    EXPECT_EQ(pairs->Filters(), std::vector<std::string>{"*.mag;*.max"});
    EXPECT_EQ(pairs->FilterNames(), std::vector<std::string>{"MAG and MAX"});
    EXPECT_TRUE(pairs->hasPreview());
    // No GetPreview: still an import plug-in that decodes.
    ASSERT_NE(ttr, nullptr);
    EXPECT_EQ(ttr->APIVersion(), "00IN");
    EXPECT_EQ(ttr->PluginName(), "TTR test raster plug-in");
    EXPECT_FALSE(ttr->hasPreview());

    std::vector<TSPI*> order;
    registry->FindSPIs({spiClassOf<TInSPI>()}, "x.max", order);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], pairs);
    order.clear();
    registry->FindSPIs({spiClassOf<TInSPI>()}, "x.ttr", order);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], ttr);

    // The info text comes back from the plug-in's local-memory block, which the bridge frees.
    TtrPicture picture;
    picture.flags = TTR_INFO_TEXT;
    const std::vector<std::uint8_t> bytes = picture.file();
    std::vector<std::uint8_t> block(bytes);
    block.resize(std::max<std::size_t>(bytes.size(), 2048));
    EXPECT_NE(ttr->IsSupported("x.ttr", block.data()), 0);
    SPI_PICTINFO info = {};
    std::string text;
    bool hasText = false;
    ASSERT_EQ(ttr->GetPictureInfo(reinterpret_cast<const char*>(block.data()), static_cast<intptr_t>(bytes.size()), 1,
                                  &info, &text, &hasText),
              0);
    EXPECT_EQ(info.width, 13);
    EXPECT_EQ(info.height, 7);
    EXPECT_EQ(info.colorDepth, 24);
    EXPECT_EQ(info.x_density, 72);
    EXPECT_TRUE(hasText);
    EXPECT_EQ(text, "TTR 13x7");

    // A refusal is no error: with nothing else that takes it the picture is unknown.
    TtrPicture refused;
    refused.flags = TTR_REFUSE;
    refused.write(folder + "/refused.ttr");
    EXPECT_EQ(errorOf(folder + "/refused.ttr"), "認識できない画像形式です");
}

TEST(WindowsPlugins, AFaultAnExitAndAHangEachCostOneLoadAndTheirLibraryWhileTheOthersGoOn)
{
    NEED_WINE();
    for (const Width& w : widths()) {
        SCOPED_TRACE(std::to_string(w.bits) + "-bit");
        const std::string folder = freshFolder("contain" + std::to_string(w.bits));
        const std::string extension = w.suffix.substr(2);
        for (const char* copy : {"one", "two", "three"})
            addPlugin(folder, "ttr" + w.suffix, std::string(copy) + extension);
        addPlugin(folder, "wpairs" + w.suffix, "wpairs" + extension);
        const auto registry = registryOf(folder);
        ASSERT_EQ(registry->Count(), 4);
        auto write = [&](const std::string& name, std::uint32_t flags) {
            TtrPicture picture;
            picture.flags = flags;
            picture.write(folder + "/" + name);
            return folder + "/" + name;
        };
        // Three libraries claim .ttr: each misbehaviour takes the first one left.
        const std::string fault = errorOf(write("fault.ttr", TTR_FAULT));
        EXPECT_NE(fault.find(folder + "/"), std::string::npos) << fault;
        EXPECT_NE(fault.find("Susie PluginのGetPictureで異常が発生しました（メモリ保護違反）"), std::string::npos) << fault;
        const std::string exit = errorOf(write("exit.ttr", TTR_EXIT));
        EXPECT_NE(exit.find("GetPictureで異常が発生しました（終了コード 7）"), std::string::npos) << exit;
        setenv("TAVO_SPI_HOST_TIMEOUT_MS", "8000", 1);
        const std::string hang = errorOf(write("hang.ttr", TTR_HANG));
        unsetenv("TAVO_SPI_HOST_TIMEOUT_MS");
        EXPECT_NE(hang.find("GetPictureで異常が発生しました（応答なし）"), std::string::npos) << hang;
        // Every .ttr library is out for this run; the fourth, which claims
        // other extensions, decodes in a fresh bridge.
        TtrPicture good;
        good.seed = 9;
        good.write(folder + "/good.ttr");
        expectPicture(decodeThroughPlugins(folder + "/good.ttr"), good, "after the faults");
    }
}

// Runs a program; its standard output and error go to files.
int run(const std::string& command, const std::string& output)
{
    const int status = std::system((command + " >'" + output + ".out' 2>'" + output + ".err'").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(WindowsPlugins, TavotavoDecodeTakesThemFromTheProgramFolderAndTheSusieFolder)
{
    NEED_WINE();
    const std::vector<Width> all = widths();
    const Width programWidth = all.front();
    const Width susieWidth = all.back();
    const std::string program = freshFolder("decode-program");
    for (const std::string name : {"tavotavo-decode", "tavotavo-spi-host"})
        fs::copy_file(kProgramDir + "/" + name, program + "/" + name);
    for (const Width& w : all)
        fs::copy_file(wineBridgeProgram(w.bits), program + "/" + fs::path(wineBridgeProgram(w.bits)).filename().string());
    addPlugin(program, "ttr" + programWidth.suffix, "ttr" + programWidth.suffix);
    const std::string susie = freshFolder("decode-susie");
    addPlugin(susie, "wpairs" + susieWidth.suffix, "wpairs" + susieWidth.suffix);
    const std::string config = freshFolder("decode-config");
    fs::create_directories(config + "/Susie");
    std::ofstream(config + "/Susie/Plug-in") << "Path=" << susie << "\n";

    // .ttr is the program folder's plug-in's, .max the Susie folder's.
    const struct {
        std::string name;
        std::uint16_t bits;
        std::uint16_t colours;
    } cases[] = {{"a.ttr", 8, 256}, {"b.max", 4, 5}, {"c.ttr", 32, 0}};
    for (const auto& c : cases) {
        TtrPicture picture;
        picture.bitCount = c.bits;
        picture.colours = c.colours;
        picture.flags = TTR_TOP_DOWN;
        picture.write(program + "/" + c.name);
        const std::string out = program + "/" + c.name + ".bmp";
        const std::string log = program + "/" + c.name;
        ASSERT_EQ(run("env -u TAVO_SPI_HOST -u TAVO_SPI_BRIDGES XDG_CONFIG_HOME='" + config + "' '" + program +
                          "/tavotavo-decode' '" + program + "/" + c.name + "' '" + out + "'",
                      log),
                  0)
            << readText(log + ".err");
        // Not a word from Wine.
        EXPECT_EQ(readText(log + ".out"), "");
        EXPECT_EQ(readText(log + ".err"), "");
        expectPicture(ReadBmpFile(out), picture, c.name);
    }
    // The private prefix; its registry files are written by Wine's server later.
    EXPECT_TRUE(fs::is_directory(root + "/cache/tavotavo/wine/drive_c"));
    EXPECT_FALSE(fs::exists(root + "/home/.wine"));
}

TEST(WindowsPlugins, ALaterSearchTakesTheTextsFromTheCacheAndWithoutWineTheyAreSkippedSilently)
{
    NEED_WINE();
    const Width w = widths().back();
    const std::string folder = freshFolder("cache");
    const std::string path = addPlugin(folder, "ttr" + w.suffix, "ttr" + w.suffix);
    {
        const auto registry = registryOf(folder);
        ASSERT_EQ(registry->Count(), 1);
    }
    // Texts that only the cache can give: the library says "*.ttr".
    std::string cache = readText(pluginInfoCacheFile());
    const std::size_t at = cache.find("*.ttr\tTTR test raster");
    ASSERT_NE(at, std::string::npos);
    cache.replace(at, 5, "*.tcached");
    std::ofstream(pluginInfoCacheFile(), std::ios::binary) << cache;
    {
        const auto registry = registryOf(folder);
        ASSERT_EQ(registry->Count(), 1);
        EXPECT_EQ((*registry)[0].Filters(), std::vector<std::string>{"*.tcached"});
        // The library itself is loaded when a picture first needs it.
        TtrPicture picture;
        picture.write(folder + "/cached.tcached");
        expectPicture(decodeThroughPlugins(folder + "/cached.tcached"), picture, "from a cached registration");
    }
    // Without Wine's loaders the Windows libraries are not there at all.
    setenv("TAVO_WINE32", "", 1);
    setenv("TAVO_WINE64", "", 1);
    {
        addPlugin(folder, "ttr32.spi", "other32.spi");
        const auto registry = registryOf(folder);
        EXPECT_EQ(registry->Count(), 0);
    }
    unsetenv("TAVO_WINE32");
    unsetenv("TAVO_WINE64");
}

} // namespace
} // namespace tavo::test
