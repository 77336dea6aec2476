// Plug-ins that misbehave, each placed once in the program's folder and once
// in the Susie folder, driven through tavotavo-decode as a user runs it: a
// copy of the program and its plug-in host in a folder of its own. Whatever
// the plug-in does, the program reports it with a message, or decodes where
// the misdeed harms nothing; and the other plug-in beside it keeps working.
#include "PluginTestSupport.h"
#include "imaging/BmpReader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>

using namespace tavo;
namespace fs = std::filesystem;

namespace {

struct Hostile {
    const char* name;
    // What the decode of its picture prints after the library's path; empty
    // when the picture decodes. A reason of "*": any reason, or a decode.
    std::string expected;
    // An error of the start-up search, printed before the decode's own.
    std::string searchError = {};
};

std::string fault(const std::string& entry, const std::string& reason)
{
    return ":Susie Pluginの" + entry + "で異常が発生しました（" + reason + "）";
}

const std::string kUnknown = "認識できない画像形式です";

void PrintTo(const Hostile& hostile, std::ostream* out)
{
    *out << hostile.name;
}

struct Outcome {
    int status = -1;
    std::string errors;
};

class HostileDecode : public ::testing::TestWithParam<std::tuple<Hostile, bool>> {
protected:
    void SetUp() override
    {
        for (const char* program : {"tavotavo-decode", "tavotavo-spi-host"})
            fs::copy_file(std::string(TAVO_BINARY_DIR) + "/bin/" + program, programFolder.path() / program);
        fs::create_directories(config.path() / "Susie");
        std::ofstream(config.path() / "Susie" / "Plug-in") << "Path=" << susie.str() << "\n";
        pluginFolder = std::get<1>(GetParam()) ? &susie : &programFolder;
        hostilePath = pluginFolder->addPlugin(std::string("hostile_") + std::get<0>(GetParam()).name, "hostile.spi");
        pluginFolder->addPlugin("ifppm", "ifppm.spi");
    }

    Outcome decode(const std::string& in)
    {
        const std::string errors = work.str() + "/errors.txt";
        const std::string command = "env -u TAVO_SPI_HOST TAVO_SPI_HOST_TIMEOUT_MS=2000 XDG_CONFIG_HOME='" +
            config.str() + "' '" + programFolder.str() + "/tavotavo-decode' '" + in + "' '" + work.str() +
            "/out.bmp' 2>'" + errors + "'";
        Outcome outcome;
        const int status = std::system(command.c_str());
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ostringstream text;
        text << std::ifstream(errors).rdbuf();
        outcome.errors = text.str();
        return outcome;
    }

    test::TempFolder programFolder, susie, config, work;
    test::TempFolder* pluginFolder = nullptr;
    std::string hostilePath;
};

TEST_P(HostileDecode, TheMisdeedIsReportedOrHarmlessAndTheOtherPluginKeepsWorking)
{
    const Hostile& hostile = std::get<0>(GetParam());
    const std::string searchLine = hostile.searchError.empty() ? "" : hostilePath + hostile.searchError + "\n";

    std::vector<uint8_t> picture(64, 0);
    std::copy_n("HOST", 4, picture.begin());
    const Outcome bad = decode(work.addFile("x.hst", picture));
    if (hostile.expected.empty()) {
        EXPECT_EQ(bad.status, 0) << bad.errors;
        EXPECT_EQ(bad.errors, searchLine);
        const Bitmap decoded = ReadBmpFile(work.str() + "/out.bmp");
        EXPECT_EQ(decoded.width(), 2);
        EXPECT_EQ(decoded.height(), 2);
    } else if (const auto any = hostile.expected.find("（*）"); any != std::string::npos) {
        // Harmless or reported, as the corrupted heap decides; never a crash.
        // (In the sanitizer build the host's own report of the overrun comes
        // first on the shared standard error.)
        const std::string start = hostilePath + hostile.expected.substr(0, any);
        EXPECT_TRUE((bad.status == 0 && bad.errors.empty()) ||
                    (bad.status == 1 && bad.errors.find(start) != std::string::npos))
            << bad.status << " " << bad.errors;
    } else {
        EXPECT_EQ(bad.status, 1);
        const std::string message = hostile.expected == kUnknown ? kUnknown : hostilePath + hostile.expected;
        EXPECT_EQ(bad.errors, searchLine + message + "\n");
    }

    // The other plug-in of the folder decodes its picture: 2 x 1, red and blue.
    const std::string ppm = "P6\n# two pixels\n2 1\n255\n";
    std::vector<uint8_t> bytes(ppm.begin(), ppm.end());
    for (uint8_t v : {255, 0, 0, 0, 0, 255})
        bytes.push_back(v);
    const Outcome good = decode(work.addFile("good.ppm", bytes));
    ASSERT_EQ(good.status, 0) << good.errors;
    EXPECT_EQ(good.errors, searchLine);
    const Bitmap decoded = ReadBmpFile(work.str() + "/out.bmp");
    ASSERT_EQ(decoded.width(), 2);
    EXPECT_EQ(decoded.pixelColor(0, 0), (PaletteEntry{0, 0, 255, 0}));
    EXPECT_EQ(decoded.pixelColor(1, 0), (PaletteEntry{255, 0, 0, 0}));
}

const Hostile kHostiles[] = {
    {"constructor", kUnknown, fault("ロード", "メモリ保護違反")},
    {"thread", fault("GetPicture", "メモリ保護違反")},
    {"heap", fault("GetPicture", "*")},
    {"infobuffer", ""},
    {"pictinfo", ""},
    {"exit", fault("GetPicture", "終了コード 7")},
    {"abort", fault("GetPicture", "強制終了")},
    {"endlesspicture", fault("GetPicture", "応答なし")},
    {"endlessinfo", kUnknown, fault("GetPluginInfo", "応答なし")},
    {"ldata", kUnknown},
    {"shortpixels", ""},
};

INSTANTIATE_TEST_SUITE_P(Plugins, HostileDecode, ::testing::Combine(::testing::ValuesIn(kHostiles), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                 (std::get<1>(info.param) ? "_SusieFolder" : "_ProgramFolder");
                         });

} // namespace
