// Which host a plug-in file goes to, and the environment Wine programs get.
#include "platform/LibraryFormat.h"
#include "platform/WineRuntime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tavo::platform {
namespace {

class LibraryFormatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = "/tmp/tavo-libformat-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // A DOS header whose last field points at peOffset, then a PE signature
    // and the machine field there.
    static std::string windowsLibrary(std::uint32_t peOffset, std::uint16_t machine, const char* signature = "PE")
    {
        std::string bytes(peOffset + 24, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i)
            bytes[0x3C + i] = static_cast<char>(peOffset >> (8 * i));
        bytes.replace(peOffset, 2, signature);
        bytes[peOffset + 4] = static_cast<char>(machine & 0xFF);
        bytes[peOffset + 5] = static_cast<char>(machine >> 8);
        return bytes;
    }

    std::string folder_;
};

TEST_F(LibraryFormatTest, TellsElfFromWindowsLibrariesOfEachWidthAndFromEverythingElse)
{
    EXPECT_EQ(libraryFormat(write("i386.spi", windowsLibrary(0x80, 0x014C))), LibraryFormat::WindowsI386);
    EXPECT_EQ(libraryFormat(write("x64.sph", windowsLibrary(0xF8, 0x8664))), LibraryFormat::WindowsX86_64);
    EXPECT_EQ(libraryFormat(write("elf.spi", std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(60, '\0'))),
              LibraryFormat::Elf);
    // Another machine, a broken signature, a header pointing past the end or
    // far away, and files too short to tell.
    EXPECT_EQ(libraryFormat(write("arm.spi", windowsLibrary(0x80, 0xAA64))), LibraryFormat::Other);
    EXPECT_EQ(libraryFormat(write("ne.spi", windowsLibrary(0x80, 0x014C, "NE"))), LibraryFormat::Other);
    std::string pastEnd = windowsLibrary(0x80, 0x014C);
    pastEnd.resize(0x82);
    EXPECT_EQ(libraryFormat(write("cut.spi", pastEnd)), LibraryFormat::Other);
    std::string farAway = windowsLibrary(0x80, 0x014C);
    farAway[0x3F] = '\x7F';
    EXPECT_EQ(libraryFormat(write("far.spi", farAway)), LibraryFormat::Other);
    EXPECT_EQ(libraryFormat(write("short.spi", "MZ")), LibraryFormat::Other);
    EXPECT_EQ(libraryFormat(write("empty.spi", "")), LibraryFormat::Other);
    EXPECT_EQ(libraryFormat(folder_ + "/missing.spi"), LibraryFormat::Other);
    EXPECT_EQ(libraryFormat(folder_), LibraryFormat::Other);
}

TEST_F(LibraryFormatTest, TheCrossBuiltTestPluginsAreTakenForTheirWidth)
{
    const std::string plugins = TAVO_BINARY_DIR "/tests/winplugins";
    if (!std::filesystem::exists(plugins + "/ttr32.spi") || !std::filesystem::exists(plugins + "/ttr64.sph"))
        GTEST_SKIP() << "the Windows test plug-ins are not built (no mingw-w64)";
    EXPECT_EQ(libraryFormat(plugins + "/ttr32.spi"), LibraryFormat::WindowsI386);
    EXPECT_EQ(libraryFormat(plugins + "/ttr64.sph"), LibraryFormat::WindowsX86_64);
}

TEST(WineRuntimeTest, WineProgramsGetThePrivatePrefixAndNoDisplay)
{
    setenv("XDG_CACHE_HOME", "/home/someone/cache-home", 1);
    setenv("DISPLAY", ":7", 1);
    setenv("WAYLAND_DISPLAY", "wayland-7", 1);
    setenv("WINEPREFIX", "/home/someone/.wine", 1);
    EXPECT_EQ(winePrefixFolder(), "/home/someone/cache-home/tavotavo/wine");
    const std::vector<std::string> environment = wineEnvironment();
    auto has = [&](const std::string& entry) {
        return std::find(environment.begin(), environment.end(), entry) != environment.end();
    };
    auto named = [&](const std::string& name) {
        return std::any_of(environment.begin(), environment.end(),
                           [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
    };
    EXPECT_TRUE(has("WINEPREFIX=/home/someone/cache-home/tavotavo/wine"));
    EXPECT_FALSE(has("WINEPREFIX=/home/someone/.wine"));
    EXPECT_TRUE(has("WINEDEBUG=-all"));
    EXPECT_FALSE(named("DISPLAY"));
    EXPECT_FALSE(named("WAYLAND_DISPLAY"));
    EXPECT_TRUE(std::any_of(environment.begin(), environment.end(), [](const std::string& e) {
        return e.rfind("WINEDLLOVERRIDES=", 0) == 0 && e.find("mscoree,mshtml=") != std::string::npos &&
               e.find("winemenubuilder.exe") != std::string::npos;
    }));
    // A relative cache home is not taken.
    setenv("XDG_CACHE_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(winePrefixFolder(), "/home/someone/.cache/tavotavo/wine");
}

TEST(WineRuntimeTest, ALoaderIsAnElfProgramOfTheWidthAsked)
{
    // The test program itself is a 64-bit x86 ELF program; a script is no loader.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    setenv("TAVO_WINE64", self.c_str(), 1);
    setenv("TAVO_WINE32", self.c_str(), 1);
    EXPECT_EQ(wineLoader(64), self);
    EXPECT_EQ(wineLoader(32), "");
    setenv("TAVO_WINE64", TAVO_SOURCE_DIR "/tools/test.sh", 1);
    EXPECT_EQ(wineLoader(64), "");
    setenv("TAVO_WINE64", "", 1);
    EXPECT_EQ(wineLoader(64), "");
    unsetenv("TAVO_WINE64");
    unsetenv("TAVO_WINE32");
}

} // namespace
} // namespace tavo::platform
