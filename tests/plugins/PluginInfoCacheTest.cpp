// The cache of what Windows plug-ins told an earlier run.
#include "plugins/PluginInfoCache.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tavo {
namespace {

class PluginInfoCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = "/tmp/tavo-infocache-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("XDG_CACHE_HOME", (folder_ + "/cache").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string plugin(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static LibraryFacts awkwardFacts()
    {
        LibraryFacts facts;
        facts.status = 0;
        facts.entries = 7;
        facts.modulePath = folder() + "/a b\\c.spi";
        facts.apiVersion = "00IN";
        facts.pluginName = "tab\there, line\nthere, back\\slash, 画像プラグイン";
        facts.filters = {"*.mag;*.max", "*.x\ty"};
        facts.filterNames = {"MAG 画像", ""};
        return facts;
    }
    static std::string folder() { return "/some where"; }

    std::string folder_;
};

TEST_F(PluginInfoCacheTest, GivesBackWhatWasKeptWhileTheFileIsUnchanged)
{
    const std::string a = plugin("a.spi", "first library");
    const std::string b = plugin("b.spi", "second library");
    EXPECT_FALSE(rememberedFacts(a));
    const LibraryFacts facts = awkwardFacts();
    LibraryFacts refused;
    refused.status = 1; // a library Wine could not load is remembered too
    refused.pluginName = "";
    rememberFacts(a, facts);
    rememberFacts(b, refused);
    EXPECT_EQ(rememberedFacts(a), facts);
    EXPECT_EQ(rememberedFacts(b), refused);
    EXPECT_FALSE(rememberedFacts(b)->apiVersion); // no text and an empty text stay apart
    EXPECT_EQ(rememberedFacts(b)->pluginName, std::string());

    // Another size, or the same size with another time, is another file.
    plugin("a.spi", "first library, rebuilt");
    EXPECT_FALSE(rememberedFacts(a));
    const timespec earlier[2] = {{0, UTIME_OMIT}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, b.c_str(), earlier, 0), 0);
    EXPECT_FALSE(rememberedFacts(b));
}

TEST_F(PluginInfoCacheTest, ADamagedCacheCostsOnlyItsDamagedRecordsAndGoneFilesAreDropped)
{
    const std::string a = plugin("a.spi", "first library");
    const std::string b = plugin("b.spi", "second library");
    rememberFacts(a, awkwardFacts());
    rememberFacts(b, awkwardFacts());
    std::string text;
    {
        std::ifstream in(pluginInfoCacheFile(), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Cut b's record short, and add lines of nonsense.
    const std::size_t at = text.find(b + "\t");
    ASSERT_NE(at, std::string::npos);
    text = text.substr(0, at + b.size() + 8) + "\n\t\t\t\n\\x\tnonsense\n" + std::string(3, '\0') + "\n";
    std::ofstream(pluginInfoCacheFile(), std::ios::binary) << text;
    EXPECT_EQ(rememberedFacts(a), awkwardFacts());
    EXPECT_FALSE(rememberedFacts(b));

    // Another first line: nothing is taken from it.
    std::ofstream(pluginInfoCacheFile(), std::ios::binary) << "something else\n";
    EXPECT_FALSE(rememberedFacts(a));

    rememberFacts(a, awkwardFacts());
    rememberFacts(b, awkwardFacts());
    std::filesystem::remove(a);
    const std::string c = plugin("c.spi", "third");
    rememberFacts(c, awkwardFacts());
    std::ifstream in(pluginInfoCacheFile(), std::ios::binary);
    const std::string kept(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(kept.find(a + "\t"), std::string::npos);
    EXPECT_NE(kept.find(b + "\t"), std::string::npos);
    EXPECT_EQ(rememberedFacts(c), awkwardFacts());
}

} // namespace
} // namespace tavo
