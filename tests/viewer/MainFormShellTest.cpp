#include "ViewerTestSupport.h"

#include "app/IniFile.h"
#include "app/SettingsLocation.h"
#include "viewer/MainForm.h"
#include "viewer/MainFormHandOver.h"
#include "viewer/WorkAreaColor.h"

#include <QApplication>
#include <QFrame>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace tavo {
namespace {

// Every window of this program keeps its settings in a folder of its own, so
// that no test reads what another one wrote at close.
class SettingsInTemporaryFolder : public ::testing::Environment {
public:
    void SetUp() override { overrideSettingsFilePath(folder_.filePath("TavoTavo.INI").toStdString()); }
    void TearDown() override { overrideSettingsFilePath({}); }

private:
    QTemporaryDir folder_;
};
[[maybe_unused]] auto* const settingsEnvironment = ::testing::AddGlobalTestEnvironment(new SettingsInTemporaryFolder);

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainFormShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ini = dir.filePath("TavoTavo.INI").toStdString();
        overrideSettingsFilePath(ini);
    }
    void TearDown() override { overrideSettingsFilePath(dir.filePath("unused.INI").toStdString()); }

    void writeSettings(const std::string& text) { std::ofstream(ini, std::ios::binary) << text; }

    void wheel(QWidget* target, int delta)
    {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    QTemporaryDir dir;
    std::string ini;
};

TEST_F(MainFormShellTest, CreationAndShowReadTheSettings)
{
    writeSettings("[WinPos]\nTop=40\nLeft=30\nWidth=300\nHeight=200\n"
                  "[Mode]\nMove=0x0A\nFLBoxShowX=55\nUseClear=2\nButton=NoZoom\n"
                  "[ExTools]\nExTool2=/usr/bin/gimp\n[Other]\nBackground=clRed\n");
    TfrmTavo2MainForm form;
    EXPECT_EQ(form.pos(), QPoint(30, 40));
    EXPECT_EQ(form.size(), QSize(300, 200));
    EXPECT_EQ(form.intMoveRatio, 10);
    EXPECT_EQ(form.intFLBoxShowX, 55);
    EXPECT_TRUE(form.blnUseClear);
    EXPECT_EQ(form.strExTool2, "/usr/bin/gimp");
    form.show();
    EXPECT_TRUE(form.spbNoZoom->isChecked());
    EXPECT_FALSE(form.spbWindowWidth->isChecked());
    EXPECT_EQ(workAreaColor(form.pnlWkArea), 0x0000FFu);
    EXPECT_EQ(form.pnlWkArea->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST_F(MainFormShellTest, SystemColoursAreDrawnInTheDesktopPalettesColour)
{
    TfrmTavo2MainForm form;
    form.show();
    EXPECT_EQ(workAreaColor(form.pnlWkArea), clBtnFace);
    EXPECT_EQ(form.pnlWkArea->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    setWorkAreaColor(form.pnlWkArea, 0x80000018u); // clInfoBk
    EXPECT_EQ(form.pnlWkArea->palette().color(QPalette::Window), QApplication::palette().color(QPalette::ToolTipBase));
}

TEST_F(MainFormShellTest, ABadBackgroundIsReportedAndTheRestOfTheShowSkipped)
{
    writeSettings("[Other]\nBackground=banana\n");
    const std::string picture = test::writePicture(dir, "a.bmp", test::patternPicture(8, 6));
    test::CollectedReports reports;
    TfrmTavo2MainForm form;
    form.strCurFile = picture;
    form.show();
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(reports.texts[0], QString::fromUtf8("'banana' は整数ではありません."));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.displayPicture().width(), 320) << "the command-line file was loaded";
}

TEST_F(MainFormShellTest, CloseWritesTheSettingsInOrder)
{
    TfrmTavo2MainForm form;
    form.show();
    form.move(20, 10);
    form.resize(400, 300);
    form.spbFull->click();
    form.intFLBoxShowX = 70;
    form.strExTool1 = "/usr/bin/gimp";
    setWorkAreaColor(form.pnlWkArea, 0x00123456);
    form.close();
    EXPECT_EQ(readFile(ini), "[WinPos]\nTop=10\nLeft=20\nWidth=400\nHeight=300\n"
                             "[Mode]\nButton=Full\nMove=1\nFLBoxShowX=70\nUseClear=0\n"
                             "[Other]\nBackground=$00123456\n"
                             "[ExTools]\nExTool1=/usr/bin/gimp\nExTool2=\nExTool3=\n");

    TfrmTavo2MainForm next;
    EXPECT_EQ(next.intFLBoxShowX, 70);
    next.show();
    EXPECT_TRUE(next.spbFull->isChecked());
    EXPECT_EQ(workAreaColor(next.pnlWkArea), 0x00123456u);
}

TEST_F(MainFormShellTest, ASettingsFileThatCannotBeWrittenIsReportedOnceAndTheWindowStillCloses)
{
    const std::string blocked = dir.filePath("file").toStdString();
    std::ofstream(blocked) << "not a folder";
    overrideSettingsFilePath(blocked + "/TavoTavo/TavoTavo.INI");
    test::CollectedReports reports;
    TfrmTavo2MainForm form;
    form.show();
    form.close();
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(reports.texts[0], QString::fromStdString(EIniFileException(form.iniConfig.fileName()).what()) + ".");
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainFormShellTest, EachWheelEventMovesATenthOfTheHeight)
{
    TfrmTavo2MainForm form;
    form.show();
    const ImageBounds start = form.imageBounds();
    ASSERT_EQ(start.height, 240);
    // A turn over the picture reaches the window, as the picture and the work
    // area leave wheel events to their parents. (Only events from the window
    // system travel up, so the test hands them to the window directly.)
    for (QWidget* child : {static_cast<QWidget*>(form.imgImgArea), static_cast<QWidget*>(form.pnlWkArea)}) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(child, &event);
        EXPECT_FALSE(event.isAccepted()) << child->objectName().toStdString();
    }
    wheel(&form, 120);
    EXPECT_EQ(form.imageBounds().top, start.top + 24);
    wheel(&form, -120);
    EXPECT_EQ(form.imageBounds().top, start.top);
    for (int i = 0; i < 3; ++i)
        wheel(&form, 8); // a touchpad's small steps each count once
    EXPECT_EQ(form.imageBounds().top, start.top + 72);
    wheel(&form, 0); // no vertical turn: a sideways scroll
    EXPECT_EQ(form.imageBounds().top, start.top + 72);
    EXPECT_EQ(form.imageBounds().height, 240);
    EXPECT_EQ(form.imageBounds().left, start.left);
    EXPECT_EQ(form.dblZoom, 1.0);
}

TEST_F(MainFormShellTest, TheFirstLocalFileOfADropOpens)
{
    const std::string first = test::writePicture(dir, "first.bmp", test::patternPicture(8, 6));
    const std::string second = test::writePicture(dir, "second.bmp", test::patternPicture(4, 4));
    TfrmTavo2MainForm form;
    form.show();
    EXPECT_TRUE(form.acceptDrops());

    QMimeData remoteOnly;
    remoteOnly.setUrls({QUrl("https://example.org/a.bmp")});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &remoteOnly, Qt::NoButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&form, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl("https://example.org/a.bmp"), QUrl::fromLocalFile(QString::fromStdString(first)),
                   QUrl::fromLocalFile(QString::fromStdString(second))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(form.strCurFile, first);
    EXPECT_EQ(form.displayPicture().width(), 8);
}

TEST_F(MainFormShellTest, AHandOverRestoresTheWindowOpensTheFileAndRepliesBeforeAnyReport)
{
    const std::string picture = test::writePicture(dir, "handed.bmp", test::patternPicture(10, 5));
    TfrmTavo2MainForm form;
    form.show();
    form.showMinimized();
    ASSERT_TRUE(form.isMinimized());

    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    receiveHandOver(form, platform::ReceivedHandOver(platform::HandOverKind::kOpenFile, picture, ends[0]));
    EXPECT_FALSE(form.isMinimized());
    EXPECT_EQ(form.strCurFile, picture);
    EXPECT_EQ(form.displayPicture().width(), 10);
    char reply = 0;
    EXPECT_EQ(read(ends[1], &reply, 1), 1);
    EXPECT_EQ(reply, 'K');
    close(ends[1]);

    // A failed load: the second copy has its reply by the time the report shows.
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    bool repliedFirst = false;
    int reportsSeen = 0;
    const ErrorReporter previous = setErrorReporter([&](const QString&) {
        ++reportsSeen;
        pollfd entry{ends[1], POLLIN, 0};
        repliedFirst = poll(&entry, 1, 0) == 1;
    });
    receiveHandOver(form, platform::ReceivedHandOver(platform::HandOverKind::kOpenFile,
                                                     dir.filePath("missing.bmp").toStdString(), ends[0]));
    setErrorReporter(previous);
    EXPECT_EQ(reportsSeen, 1);
    EXPECT_TRUE(repliedFirst);
    close(ends[1]);
}

} // namespace
} // namespace tavo
