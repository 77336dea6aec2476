// Decoding through the plug-ins: the order of the native reader and the
// plug-ins, the padded block, the retry at byte 128, the info text, the
// handles, progress and faults.
#include "PluginTestSupport.h"
#include "platform/LocalMemory.h"
#include "plugins/InSPIAble.h"
#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

using namespace tavo;
using tavo::test::makeTestPicture;
using tavo::test::pluginPath;
using tavo::test::pluginState;
using tavo::test::TestPicture;

namespace {

// A loader whose native format is data starting with "NATV", with a sink that
// records what it got.
class LoaderTest : public ::testing::Test {
protected:
    LoaderTest() : loader(this)
    {
        loader.NativeExt = "BMP";
        loader.HeaderRetry = true;
        loader.InheritedLoadFromStream = [this](std::span<const uint8_t> data) {
            calls.push_back("native");
            if (data.size() < 4 || std::memcmp(data.data(), "NATV", 4) != 0)
                throw EInvalidGraphic();
        };
        loader.OnPicture = [this](std::span<const uint8_t> info, std::span<const uint8_t> bits,
                                  const TPictureInfoRec& rec, bool& done) {
            calls.push_back("picture");
            infoBytes.assign(info.begin(), info.end());
            bitsBytes.assign(bits.begin(), bits.end());
            record = rec;
            done = sinkAccepts;
            if (sinkThrows)
                throw EInvalidGraphic("sink failed");
        };
        baseline = platform::liveLocalHandleCount();
    }

    TInSPI& add(const std::string& name)
    {
        spis.Add(CreateSPI(pluginPath(name)));
        return static_cast<TInSPI&>(spis[spis.Count() - 1]);
    }

    void load(const std::vector<uint8_t>& data, const std::string& name)
    {
        loader.LoadFromNamedStream(data, name);
    }

    TSPIs spis;
    TInSPIAble loader;
    std::vector<std::string> calls;
    std::vector<uint8_t> infoBytes;
    std::vector<uint8_t> bitsBytes;
    TPictureInfoRec record;
    bool sinkAccepts = true;
    bool sinkThrows = false;
    std::size_t baseline = 0;
};

std::vector<uint8_t> nativeData()
{
    return {'N', 'A', 'T', 'V', 0, 0};
}

} // namespace

TEST_F(LoaderTest, ShortDataArrivesInAZeroPaddedBlockWithItsTrueSize)
{
    TInSPI& spi = add("tpc");
    TestPicture picture;
    picture.size = 100;
    auto data = makeTestPicture(picture);
    for (std::size_t i = TPIC_HEADER_SIZE; i < data.size(); ++i)
        data[i] = 0x5A; // the last byte, 99, is not zero
    load(data, "/pics/a.tpc");
    const TestPluginState& state = pluginState(spi);
    EXPECT_EQ(state.lastNonZero, 99);
    EXPECT_EQ(state.lastInfoLength, 100);
    EXPECT_EQ(state.lastPictureLength, 100);
    EXPECT_EQ(state.lastFlag, 1u);
    EXPECT_STREQ(state.lastFileName, "/pics/a.tpc");
    // The plug-in hands back a value of its host's, never an address of ours.
    EXPECT_NE(state.lastData, 0);
    EXPECT_NE(state.lastData, reinterpret_cast<intptr_t>(&loader));
    EXPECT_TRUE(loader.CurExt.empty());
    EXPECT_TRUE(loader.CurFileName.empty());
}

TEST_F(LoaderTest, RetryFromByte128OnlyForLongerData)
{
    TInSPI& spi = add("tpc");
    std::vector<uint8_t> data(128, 0x11);
    EXPECT_THROW(load(data, "a.tpc"), EInvalidGraphic);
    EXPECT_EQ(pluginState(spi).isSupportedCalls, 1);
    data.push_back(0x22); // 129 bytes: a second attempt of one byte
    EXPECT_THROW(load(data, "a.tpc"), EInvalidGraphic);
    EXPECT_EQ(pluginState(spi).isSupportedCalls, 3);
    EXPECT_EQ(pluginState(spi).firstByte, 0x22);
    EXPECT_EQ(pluginState(spi).lastNonZero, 0);
}

TEST_F(LoaderTest, ForeignHeaderIsSkippedByTheRetry)
{
    add("tpc");
    std::vector<uint8_t> data(128, 0x77);
    const auto picture = makeTestPicture({});
    data.insert(data.end(), picture.begin(), picture.end());
    load(data, "a.tpc");
    EXPECT_EQ(calls, std::vector<std::string>{"picture"});
    loader.HeaderRetry = false;
    calls.clear();
    try {
        load(data, "a.tpc");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
    EXPECT_EQ(calls, std::vector<std::string>{"native"});
}

TEST_F(LoaderTest, NativeFirstForNoExtensionAndTheNativeOne)
{
    add("acceptall");
    for (const char* name : {"noextension", "a.bmp", "A.BMP", "/x.y/file"}) {
        calls.clear();
        load(nativeData(), name);
        EXPECT_EQ(calls, std::vector<std::string>{"native"}) << name;
    }
    // Any other extension: the plug-ins first, so the native data goes to one.
    calls.clear();
    load(nativeData(), "a.tpc");
    EXPECT_EQ(calls, std::vector<std::string>{"picture"});
    // And the native reader last when no plug-in takes the data.
    sinkAccepts = false;
    calls.clear();
    load(nativeData(), "a.png");
    EXPECT_EQ(calls, (std::vector<std::string>{"picture", "native"}));
}

TEST_F(LoaderTest, NativeErrorsOfOtherKindsEndTheLoad)
{
    add("tpc");
    loader.InheritedLoadFromStream = [](std::span<const uint8_t>) { throw EReadError(); };
    EXPECT_THROW(load(nativeData(), "x"), EReadError);
    EXPECT_TRUE(loader.CurExt.empty());
}

TEST_F(LoaderTest, InfoRecordAndItsText)
{
    add("tpc");
    TestPicture picture;
    picture.flags = TPIC_INFO_TEXT;
    picture.width = 3;
    picture.height = -2;
    load(makeTestPicture(picture), "a.tpc");
    EXPECT_TRUE(record.Valid);
    EXPECT_EQ(record.Left, 1);
    EXPECT_EQ(record.Top, 2);
    EXPECT_EQ(record.Width, 3);
    EXPECT_EQ(record.Height, -2);
    EXPECT_EQ(record.XDensity, 72);
    EXPECT_EQ(record.YDensity, 96);
    EXPECT_EQ(record.ColorDepth, 24);
    EXPECT_EQ(record.Info, "0123456789"); // no terminator: the handle's size bounds it
    EXPECT_EQ(platform::liveLocalHandleCount(), baseline);
}

TEST_F(LoaderTest, FailingGetPictureInfoStillLoads)
{
    add("tpc");
    TestPicture picture;
    picture.flags = TPIC_FAIL_INFO;
    load(makeTestPicture(picture), "a.tpc");
    EXPECT_FALSE(record.Valid);
    EXPECT_TRUE(record.Info.empty());
    EXPECT_EQ(infoBytes.size(), 40u);
    EXPECT_EQ(bitsBytes.size(), 16u); // 2 rows of 8 bytes
    EXPECT_EQ(bitsBytes[0], 1);
    EXPECT_EQ(platform::liveLocalHandleCount(), baseline);
}

TEST_F(LoaderTest, FailedAttemptsGoOnToTheNextPlugin)
{
    TInSPI& first = add("tpc");
    TInSPI& second = add("mag");
    for (uint32_t flags : {TPIC_REFUSE, TPIC_FAIL_PICTURE, TPIC_BOGUS_INFO, TPIC_FREED_BITS}) {
        TestPicture picture;
        picture.flags = flags;
        calls.clear();
        EXPECT_THROW(load(makeTestPicture(picture), "a.tpc"), EInvalidGraphic) << flags;
        EXPECT_TRUE(calls == std::vector<std::string>{"native"}) << flags;
        EXPECT_EQ(platform::liveLocalHandleCount(), baseline) << flags;
    }
    // Both were asked every time (32 bytes: no retry).
    EXPECT_EQ(pluginState(first).isSupportedCalls, 4);
    EXPECT_EQ(pluginState(second).isSupportedCalls, 4);
}

TEST_F(LoaderTest, HandlesAreFreedWhenTheSinkRaises)
{
    add("tpc");
    TInSPI& later = add("p3"); // claims nothing: tried after tpc
    sinkThrows = true;
    TestPicture picture;
    picture.flags = TPIC_FIXED;
    EXPECT_THROW(load(makeTestPicture(picture), "a.tpc"), EInvalidGraphic);
    EXPECT_EQ(platform::liveLocalHandleCount(), baseline);
    EXPECT_EQ(pluginState(later).isSupportedCalls, 0); // no further plug-in
}

TEST_F(LoaderTest, ShortPixelBlockIsBoundedByItsSize)
{
    add("tpc");
    TestPicture picture;
    picture.width = 100;
    picture.height = 100;
    picture.pixelBytes = 7;
    load(makeTestPicture(picture), "a.tpc");
    EXPECT_EQ(bitsBytes.size(), 7u);
}

TEST_F(LoaderTest, ProgressStages)
{
    add("tpc");
    std::vector<std::tuple<TProgressStage, int, bool>> seen;
    loader.OnProgress = [&](TProgressStage stage, uint8_t percent, bool redraw) {
        seen.emplace_back(stage, percent, redraw);
    };
    TestPicture picture;
    picture.flags = TPIC_PROGRESS;
    load(makeTestPicture(picture), "a.tpc");
    using S = TProgressStage;
    EXPECT_EQ(seen, (std::vector<std::tuple<S, int, bool>>{
                        {S::psStarting, 0, false}, {S::psRunning, 33, false}, {S::psEnding, 100, true}}));
    const TestPluginState& state = pluginState(spis[0]);
    EXPECT_EQ(state.progressResults[0], 0);
    EXPECT_EQ(state.progressResults[1], 0);
    EXPECT_EQ(state.progressResults[2], 0);
    // Count 0 is checked first: 0 of 0 starts.
    seen.clear();
    SPIProgress(0, 0, reinterpret_cast<intptr_t>(&loader));
    SPIProgress(2, 3, reinterpret_cast<intptr_t>(&loader));
    SPIProgress(5, 0, reinterpret_cast<intptr_t>(&loader));
    EXPECT_EQ(seen, (std::vector<std::tuple<S, int, bool>>{
                        {S::psStarting, 0, false}, {S::psRunning, 67, false}, {S::psRunning, 0, false}}));
    EXPECT_EQ(mulDiv(1, 100, 8), 13); // 12.5 rounds away from zero
    EXPECT_EQ(mulDiv(-1, 100, 8), -13);
    EXPECT_EQ(mulDiv(1, 100, 0), -1);
    EXPECT_EQ(mulDiv(INT32_MAX, 100, 1), -1); // overflow
    EXPECT_EQ(mulDiv(INT32_MIN, 100, 3), -1);
    EXPECT_EQ(mulDiv(INT32_MAX, 2, 2), INT32_MAX);
}

TEST_F(LoaderTest, ProgressHandlerErrorWaitsForThePluginToReturn)
{
    add("tpc");
    loader.OnProgress = [](TProgressStage, uint8_t, bool) { throw EOutOfMemory(); };
    TestPicture picture;
    picture.flags = TPIC_PROGRESS;
    EXPECT_THROW(load(makeTestPicture(picture), "a.tpc"), EOutOfMemory);
    EXPECT_EQ(pluginState(spis[0]).progressResults[2], 0);
    EXPECT_EQ(platform::liveLocalHandleCount(), baseline);
    // Also when the plug-in then fails: the error is not lost, and no further
    // plug-in or the native reader is tried.
    TInSPI& later = add("p3");
    picture.flags = TPIC_PROGRESS | TPIC_FAIL_PICTURE;
    calls.clear();
    EXPECT_THROW(load(makeTestPicture(picture), "a.tpc"), EOutOfMemory);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(pluginState(later).isSupportedCalls, 0);
}

TEST(InSPIAble, WithoutRegistryOnlyTheNativeReaderIsTried)
{
    ASSERT_EQ(GlobalSPIs(), nullptr);
    TInSPIAble alone(nullptr);
    alone.NativeExt = "BMP";
    int nativeCalls = 0;
    alone.InheritedLoadFromStream = [&](std::span<const uint8_t>) {
        ++nativeCalls;
        throw EInvalidGraphic();
    };
    const std::vector<uint8_t> data(10, 1);
    try {
        alone.LoadFromNamedStream(data, "a.tpc");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
    EXPECT_EQ(nativeCalls, 1);
}

// A fault inside a plug-in ends the load with its error, and the plug-in is not
// called again; the process goes on.
class FaultTest : public LoaderTest, public ::testing::WithParamInterface<std::pair<uint32_t, int>> {};

TEST_P(FaultTest, FaultEndsTheLoadAndTheFaultingPluginIsNotCalledAgain)
{
    // A copy of its own per case: a faulted library stays disabled for the run.
    test::TempFolder folder;
    const std::string path = folder.addPlugin("tpc", "fault.spi");
    spis.Add(CreateSPI(path));
    TInSPI& faulty = static_cast<TInSPI&>(spis[0]);
    TInSPI& other = add("p3"); // claims nothing: tried after the faulting one
    TestPicture picture;
    picture.flags = GetParam().first;
    const auto data = makeTestPicture(picture);
    try {
        load(data, "a.tpc");
        FAIL();
    } catch (const ESPIFault& e) {
        EXPECT_EQ(e.signal(), GetParam().second);
        EXPECT_NE(std::string(e.what()).find(path + ":Susie PluginのGetPictureで異常が発生しました"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(faulty.faulted());
    EXPECT_EQ(pluginState(other).isSupportedCalls, 0);
    const int calledBefore = pluginState(faulty).getPictureCalls;
    // The next load skips it and the other plug-in decodes the picture.
    picture.flags = 0;
    load(makeTestPicture(picture), "a.tpc");
    EXPECT_EQ(pluginState(faulty).getPictureCalls, calledBefore);
    EXPECT_EQ(pluginState(other).getPictureCalls, 1);
    EXPECT_THROW(faulty.IsSupported("", data.data()), ESPIDisabledSPI);
}

INSTANTIATE_TEST_SUITE_P(Signals, FaultTest,
                         ::testing::Values(std::make_pair(TPIC_SEGV, SIGSEGV), std::make_pair(TPIC_FPE, SIGFPE),
                                           std::make_pair(TPIC_BUS, SIGBUS), std::make_pair(TPIC_STACK, SIGSEGV),
                                           std::make_pair(TPIC_ABORT, SIGABRT)));
