// Binding one plug-in library: classes by version, information texts, missing
// entry points, files that are no plug-in.
#include "PluginTestSupport.h"
#include "plugins/SPI.h"
#include "plugins/SPIErrors.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace tavo;
using tavo::test::pluginPath;
using tavo::test::TempFolder;

namespace {

template <class T>
bool isA(const TSPI* spi)
{
    return spi != nullptr && typeid(*spi) == typeid(T);
}

} // namespace

TEST(SPI, TheHostExportsLocalMemoryToPlugins)
{
    for (const char* name : {"LocalAlloc", "LocalReAlloc", "LocalLock", "LocalUnlock", "LocalSize", "LocalFree"})
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
}

TEST(SPI, ClassFollowsTheExactVersionText)
{
    EXPECT_TRUE(isA<TInSPI>(CreateSPI(pluginPath("p1")).get()));
    EXPECT_TRUE(isA<TAmSPI>(CreateSPI(pluginPath("am")).get()));
    EXPECT_TRUE(isA<TXnSPI>(CreateSPI(pluginPath("xn")).get()));
    const auto lower = CreateSPI(pluginPath("lowercase"));
    EXPECT_TRUE(isA<TSPI>(lower.get()));
    EXPECT_EQ(lower->APIVersion(), "00in");
    const auto none = CreateSPI(pluginPath("noversion"));
    EXPECT_TRUE(isA<TSPI>(none.get()));
    EXPECT_EQ(none->APIVersion(), "");
}

TEST(SPI, ReadsVersionNameAndPatternPairs)
{
    const auto spi = CreateSPI(pluginPath("mag"));
    ASSERT_TRUE(spi);
    EXPECT_EQ(spi->APIVersion(), "00IN");
    EXPECT_EQ(spi->PluginName(), "Test plug-in mag");
    EXPECT_EQ(spi->Filters(), (std::vector<std::string>{"*.mag;*.max", "*", "*.tpc"}));
    EXPECT_EQ(spi->FilterNames(), (std::vector<std::string>{"MAG and MAX", "Pattern without a dot", "Test picture"}));
    EXPECT_EQ(spi->FileName(), pluginPath("mag"));
}

TEST(SPI, PatternWithoutItsNameEndsTheList)
{
    // Answers 2, 3 and 4 but not 5: one pair.
    const auto spi = CreateSPI(pluginPath("odd"));
    ASSERT_TRUE(spi);
    EXPECT_EQ(spi->Filters(), std::vector<std::string>{"*.pic"});
    EXPECT_EQ(spi->FilterNames(), std::vector<std::string>{"Test PIC"});
}

TEST(SPI, TextFillingTheWholeBufferIsReadWithinIt)
{
    const auto spi = CreateSPI(pluginPath("longname"));
    ASSERT_TRUE(spi);
    EXPECT_EQ(spi->PluginName(), std::string(255, 'L'));
    // A length of 0 or less reaches the plug-in as it is and brings no text back.
    char untouched[4] = {'a', 'b', 'c', 0};
    EXPECT_EQ(spi->GetPluginInfo(1, untouched, 0), 0);
    EXPECT_EQ(spi->GetPluginInfo(1, untouched, -5), 0);
    EXPECT_STREQ(untouched, "abc");
    char text[256] = {};
    EXPECT_EQ(spi->GetPluginInfo(0, text, 255), 4);
}

TEST(SPI, EndlessPatternListIsCut)
{
    const auto spi = CreateSPI(pluginPath("endless"));
    ASSERT_TRUE(spi);
    EXPECT_EQ(spi->Filters().size(), 1024u);
    EXPECT_EQ(spi->Filters().size(), spi->FilterNames().size());
}

TEST(SPI, GetPreviewIsOptional)
{
    const auto withPreview = CreateSPI(pluginPath("p1"));
    const auto without = CreateSPI(pluginPath("p2"));
    ASSERT_TRUE(isA<TInSPI>(withPreview.get()));
    ASSERT_TRUE(isA<TInSPI>(without.get()));
    EXPECT_TRUE(static_cast<TInSPI&>(*withPreview).hasPreview());
    EXPECT_FALSE(static_cast<TInSPI&>(*without).hasPreview());
}

TEST(SPI, MissingEntryPointsMakeNoPlugin)
{
    EXPECT_EQ(CreateSPI(pluginPath("noissupported")), nullptr);
    EXPECT_EQ(CreateSPI(pluginPath("noplugininfo")), nullptr);
    try {
        TInSPI spi(pluginPath("noissupported"));
        FAIL();
    } catch (const ESPIInvalidSPI& e) {
        EXPECT_EQ(std::string(e.what()), pluginPath("noissupported") + ":認識できないSusie Pluginです");
    }
    // Without IsSupported it is no plain TSPI either: CreateSPI tries TInSPI and fails.
    EXPECT_THROW(TSPI(pluginPath("noplugininfo")), ESPIInvalidSPI);
}

TEST(SPI, FilesThatAreNoLibraryAreSkippedQuietly)
{
    TempFolder folder;
    const std::string text = folder.addFile("readme.spi", {'h', 'e', 'l', 'l', 'o', '\n'});
    // The start of a Windows executable (PE) and of a 32-bit ELF library.
    std::vector<uint8_t> pe(512, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[60] = 0x80;
    pe[0x80] = 'P';
    pe[0x81] = 'E';
    const std::string windows = folder.addFile("windows.spi", pe);
    std::vector<uint8_t> elf32(512, 0);
    const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1, 0};
    std::copy(std::begin(ident), std::end(ident), elf32.begin());
    elf32[16] = 3; // ET_DYN
    elf32[18] = 3; // EM_386
    elf32[20] = 1;
    const std::string foreign = folder.addFile("i386.spi", elf32);
    const std::string missing = folder.str() + "/missing.spi";
    for (const std::string& path : {text, windows, foreign, missing}) {
        EXPECT_EQ(CreateSPI(path), nullptr) << path;
        try {
            TSPI spi(path);
            FAIL() << path;
        } catch (const ESPIFOpenErrorSPI& e) {
            EXPECT_EQ(std::string(e.what()), path + ":Susie Pluginがロードできませんでした");
        }
    }
}

TEST(SPI, SameLibraryTwiceGivesIndependentObjects)
{
    auto first = CreateSPI(pluginPath("tpc"));
    auto second = CreateSPI(pluginPath("tpc"));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    first.reset();
    std::vector<uint8_t> block(2048, 0);
    const auto picture = test::makeTestPicture({});
    std::copy(picture.begin(), picture.end(), block.begin());
    EXPECT_NE(static_cast<TInSPI&>(*second).IsSupported("x.tpc", block.data()), 0);
}

TEST(SPI, WrapperOfAnUnboundEntryRaisesInvalidAPI)
{
    const ESPIInvalidAPI error("GetPicture", "/x/a.spi");
    EXPECT_EQ(std::string(error.what()), "GetPictureは[/x/a.spi]では使えないSusie Plugin APIです");
    // A path holding "%s" is not formatted a second time.
    EXPECT_EQ(std::string(ESPIInvalidAPI("IsSupported", "/%s/b.spi").what()),
              "IsSupportedは[/%s/b.spi]では使えないSusie Plugin APIです");
}

TEST(SPI, FaultInGetPluginInfoPropagatesOutOfCreateSPI)
{
    try {
        CreateSPI(pluginPath("faultinfo"));
        FAIL();
    } catch (const ESPIFault& e) {
        EXPECT_EQ(std::string(e.what()),
                  pluginPath("faultinfo") + ":Susie PluginのGetPluginInfoで異常が発生しました（メモリ保護違反）");
    }
}

TEST(SPI, LibraryThatFaultedWhileBeingCreatedIsNeitherHereNorLoadedAgain)
{
    // A copy of its own: nothing else in this run has loaded it.
    TempFolder folder;
    const std::string path = folder.addPlugin("faultinfo", "faulted.spi");
    EXPECT_THROW(CreateSPI(path), ESPIFault);
    // Its code ran in the plug-in host, never in this process.
    void* here = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(here, nullptr);
    if (here != nullptr)
        dlclose(here);
    // It brought its host down once: the rest of the run passes it by without a word.
    EXPECT_EQ(CreateSPI(path), nullptr);
    // And the host that follows serves the other plug-ins.
    EXPECT_NE(CreateSPI(pluginPath("p1")), nullptr);
}