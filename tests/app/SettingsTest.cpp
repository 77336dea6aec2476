#include "app/Settings.h"
#include "app/SettingsLocation.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <vector>

using namespace tavo;
using tavo::test::ScratchFolder;

namespace {

constexpr ScreenSize kScreen{1024, 768};

// A window that records what placement did to it, in order.
class RecordingWindow : public WindowPlacementTarget {
public:
    void setTop(std::int32_t top) override { calls.push_back("top " + std::to_string(bounds.top = top)); }
    void setLeft(std::int32_t left) override { calls.push_back("left " + std::to_string(bounds.left = left)); }
    void setWidth(std::int32_t width) override { calls.push_back("width " + std::to_string(bounds.width = width)); }
    void setHeight(std::int32_t height) override
    {
        calls.push_back("height " + std::to_string(bounds.height = height));
    }
    std::int32_t width() const override { return bounds.width; }
    std::int32_t height() const override { return bounds.height; }

    WindowBounds bounds{};
    std::vector<std::string> calls;
};

WindowBounds placed(const std::string& text)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    if (!text.empty())
        test::writeText(ini.fileName(), text);
    RecordingWindow window;
    readWindowPlacement(ini, kScreen, window);
    return window.bounds;
}

} // namespace

TEST(Settings, WithoutAFileEverythingHasItsDefault)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    RecordingWindow window;
    readWindowPlacement(ini, kScreen, window);
    EXPECT_EQ(window.bounds, (WindowBounds{153, 204, 512, 384}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{"top 153", "left 204", "width 512", "height 384"}));

    const ViewerOptions options = readViewerOptions(ini);
    EXPECT_EQ(options.intMoveRatio, 1);
    EXPECT_EQ(options.intFLBoxShowX, 30);
    EXPECT_FALSE(options.blnUseClear);
    EXPECT_EQ(options.strExTool1 + options.strExTool2 + options.strExTool3, "");
    EXPECT_EQ(readZoomButton(ini), ZoomButton::kWindowWidth);
    EXPECT_EQ(readBackground(ini), clBtnFace);
}

TEST(Settings, AWindowNearlyAsLargeAsTheScreenBothWaysGetsTheDefaults)
{
    EXPECT_EQ(placed("[WinPos]\nTop=5\nLeft=6\nWidth=1000\nHeight=700\n"), (WindowBounds{153, 204, 512, 384}));
    EXPECT_EQ(placed("[WinPos]\nTop=5\nLeft=6\nWidth=1000\nHeight=600\n"), (WindowBounds{5, 6, 1000, 600}));
    EXPECT_EQ(placed("[WinPos]\nWidth=921\nHeight=691\n"), (WindowBounds{153, 204, 512, 384}));
    EXPECT_EQ(placed("[WinPos]\nWidth=920\nHeight=900\n"), (WindowBounds{153, 204, 920, 900}));
    // Off the screen is kept: only the size is checked.
    EXPECT_EQ(placed("[WinPos]\nTop=-3000\nLeft=5000\n"), (WindowBounds{-3000, 5000, 512, 384}));

    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    test::writeText(ini.fileName(), "[WinPos]\nTop=1\nLeft=2\nWidth=1024\nHeight=768\n");
    RecordingWindow window;
    readWindowPlacement(ini, kScreen, window);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"top 1", "left 2", "width 1024", "height 768", "top 153",
                                                      "left 204", "width 512", "height 384"}));
}

TEST(Settings, IntegersAndBooleans)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    test::writeText(ini.fileName(), "[Mode]\nMove=0x0A\nFLBoxShowX=abc\nUseClear=2\n");
    ViewerOptions options = readViewerOptions(ini);
    EXPECT_EQ(options.intMoveRatio, 10);
    EXPECT_EQ(options.intFLBoxShowX, 30);
    EXPECT_TRUE(options.blnUseClear);

    test::writeText(ini.fileName(), "[Mode]\nMove=abc\nFLBoxShowX=$1F\nUseClear=0\n");
    options = readViewerOptions(ini);
    EXPECT_EQ(options.intMoveRatio, 1);
    EXPECT_EQ(options.intFLBoxShowX, 31);
    EXPECT_FALSE(options.blnUseClear);
}

TEST(Settings, IntegerTexts)
{
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("  -7"), -7);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("0x1f"), 31);
    EXPECT_EQ(parseInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(parseInteger("-$10"), -16);
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInteger("2147483648"), std::nullopt);
    EXPECT_EQ(parseInteger("$100000000"), std::nullopt);
    for (const char* bad : {"", "-", "0x", "$", "12 ", "1.5", "12a", "0xG"})
        EXPECT_EQ(parseInteger(bad), std::nullopt) << bad;
}

TEST(Settings, ZoomButtonNamesAreExact)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    test::writeText(ini.fileName(), "[Mode]\nButton=full\n");
    EXPECT_EQ(readZoomButton(ini), std::nullopt);
    test::writeText(ini.fileName(), "[Mode]\nButton=Full\n");
    EXPECT_EQ(readZoomButton(ini), ZoomButton::kFull);
    test::writeText(ini.fileName(), "[Mode]\nButton=NoZoom\n");
    EXPECT_EQ(readZoomButton(ini), ZoomButton::kNoZoom);
}

TEST(Settings, Colours)
{
    EXPECT_EQ(colorToString(0x0000FF), "clRed");
    EXPECT_EQ(colorToString(clBtnFace), "clBtnFace");
    EXPECT_EQ(colorToString(0x80000018u), "clInfoBk");
    EXPECT_EQ(colorToString(0x00123456), "$00123456");
    EXPECT_EQ(colorToString(0x00ABCDEF), "$00ABCDEF");
    EXPECT_EQ(stringToColor("$00ABCDEF"), 0x00ABCDEFu);
    EXPECT_EQ(stringToColor("CLRED"), 0x0000FFu);
    EXPECT_EQ(stringToColor("clscrollbar"), 0x80000000u);
    EXPECT_EQ(stringToColor("0x00FF00"), 0x00FF00u);
    EXPECT_EQ(stringToColor("255"), 0x0000FFu);
    // Every name reads back as the value it is written for.
    for (const ColorName& entry : kColorNames)
        EXPECT_EQ(stringToColor(colorToString(entry.value)), entry.value) << entry.name;
}

TEST(Settings, ABackgroundThatIsNoColourRaises)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    test::writeText(ini.fileName(), "[Other]\nBackground=banana\n");
    try {
        readBackground(ini);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'banana' は整数ではありません");
    }
}

TEST(Settings, CloseWritesEverySettingInOrderAndTheyReadBack)
{
    ScratchFolder folder;
    TIniFile ini(folder.file(kSettingsFileName));
    test::writeText(ini.fileName(), "[Mode]\nUseClear=2\n");
    ViewerOptions options = readViewerOptions(ini);
    options.intFLBoxShowX = 55;
    options.strExTool2 = "/usr/bin/gimp";
    writeClosingSettings(ini, {{10, 20, 640, 480}, ZoomButton::kNoZoom, options, 0x0000FF});
    EXPECT_EQ(test::readText(ini.fileName()), "[Mode]\n"
                                              "UseClear=1\n"
                                              "Button=NoZoom\n"
                                              "Move=1\n"
                                              "FLBoxShowX=55\n"
                                              "[WinPos]\n"
                                              "Top=10\n"
                                              "Left=20\n"
                                              "Width=640\n"
                                              "Height=480\n"
                                              "[Other]\n"
                                              "Background=clRed\n"
                                              "[ExTools]\n"
                                              "ExTool1=\n"
                                              "ExTool2=/usr/bin/gimp\n"
                                              "ExTool3=\n");
    const ViewerOptions back = readViewerOptions(ini);
    EXPECT_EQ(back.intFLBoxShowX, 55);
    EXPECT_TRUE(back.blnUseClear);
    EXPECT_EQ(back.strExTool2, "/usr/bin/gimp");
    EXPECT_EQ(readZoomButton(ini), ZoomButton::kNoZoom);

    writeClosingSettings(ini, {{10, 20, 640, 480}, ZoomButton::kFull, options, 0x00123456});
    EXPECT_EQ(ini.readString("Other", "Background", ""), "$00123456");
    EXPECT_EQ(readBackground(ini), 0x00123456u);
}

TEST(Settings, TheFileLivesBesideTheProgramUnlessThatFolderIsClosed)
{
    ScratchFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    EXPECT_EQ(settingsFilePath(folder.path(), "/home/u/.config"), folder.path() + "/TavoTavo.INI");
    EXPECT_EQ(settingsFilePath(folder.file("missing"), "/home/u/.config"), "/home/u/.config/TavoTavo/TavoTavo.INI");
    const std::string installed = folder.file("bin");
    ASSERT_EQ(mkdir(installed.c_str(), 0555), 0);
    EXPECT_TRUE(test::asUnprivilegedUser(
        [&] { return settingsFilePath(installed, "/c") == "/c/TavoTavo/TavoTavo.INI"; }));
}
