// The window's plug-in registry: one search after the first paint, its errors
// reported, plug-in pictures loaded through it.
#include "ViewerTestSupport.h"

#include "plugins/NativeHost.h"
#include "plugins/PluginHosts.h"
#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"
#include "viewer/MainForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace tavo {
namespace {

// A Susie folder holding copies of the named test plug-ins, set as the
// folder of the registry stand-in for the test's duration.
class SusieFolder {
public:
    explicit SusieFolder(const QStringList& plugins)
    {
        QDir(config.path()).mkpath("Susie");
        QFile key(config.filePath("Susie/Plug-in"));
        key.open(QIODevice::WriteOnly);
        key.write(("Path=" + folder.path() + "\n").toUtf8());
        for (const QString& name : plugins)
            QFile::copy(QString(TAVO_BINARY_DIR) + "/tests/plugins/" + name + ".spi", folder.filePath(name + ".spi"));
        const char* old = std::getenv("XDG_CONFIG_HOME");
        old_ = old ? std::make_unique<std::string>(old) : nullptr;
        setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
    }
    ~SusieFolder()
    {
        if (old_)
            setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    QTemporaryDir config;
    QTemporaryDir folder;

private:
    std::unique_ptr<std::string> old_;
};

// Shows and paints the window, then lets the loop run until it has been idle
// once (the search waits for that) and a little beyond.
void showAndPaint(TfrmTavo2MainForm& form)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.repaint();
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(PluginSearch, TheWindowsRegistrySearchesOnceAfterTheFirstPaint)
{
    test::ensureApplication();
    SusieFolder susie({"tpc"});
    TfrmTavo2MainForm form;
    ASSERT_TRUE(form.SPIs1);
    EXPECT_EQ(GlobalSPIs(), form.SPIs1.get());
    EXPECT_EQ(form.SPIs1->SearchOptions, (TSPISearchOptions{spsSusieDir, spsAppDir}));
    EXPECT_FALSE(form.SPIs1->isLoaded());
    showAndPaint(form);
    EXPECT_TRUE(form.SPIs1->isLoaded());
    ASSERT_GE(form.SPIs1->Count(), 1);
    const int count = form.SPIs1->Count();
    form.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.SPIs1->Count(), count);
}

// A test picture of 6 × 4 (the format the test plug-in reads) in the folder.
std::string writeTestPicture(const QTemporaryDir& folder)
{
    QByteArray data(32, '\0');
    data.replace(0, 4, "TPIC");
    data[8] = 6;
    data[12] = 4;
    data[16] = 24;
    QFile file(folder.filePath("picture.tpc"));
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return file.fileName().toStdString();
}

TEST(PluginSearch, PluginPictureLoadsThroughTheWindow)
{
    test::ensureApplication();
    SusieFolder susie({"tpc"});
    TfrmTavo2MainForm form;
    form.strCurFile = writeTestPicture(susie.folder);
    // The load at the first show runs the search itself.
    showAndPaint(form);
    EXPECT_EQ(form.displayPicture().width(), 6);
    EXPECT_EQ(form.displayPicture().height(), 4);
}

TEST(PluginSearch, FaultDuringTheSearchIsReportedAndTheWindowStays)
{
    test::ensureApplication();
    test::CollectedReports reports;
    SusieFolder susie({"faultinfo"});
    TfrmTavo2MainForm form;
    showAndPaint(form);
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_TRUE(reports.texts[0].contains("Susie PluginのGetPluginInfoで異常が発生しました")) << reports.texts[0].toStdString();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.SPIs1->isLoaded());
}

TEST(PluginSearch, ALoadBeforeTheFirstPaintGetsItsPictureDespiteABadLibraryReportedOnceAfterIt)
{
    test::ensureApplication();
    test::CollectedReports reports;
    SusieFolder susie({"faultinfo", "tpc"});
    TfrmTavo2MainForm form;
    form.strCurFile = writeTestPicture(susie.folder);
    showAndPaint(form);
    EXPECT_EQ(form.displayPicture().width(), 6);
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_TRUE(reports.texts[0].contains("Susie PluginのGetPluginInfoで異常が発生しました")) << reports.texts[0].toStdString();
    form.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.texts.size(), 1);
}

// A host kind that is slow to get ready, as Wine is on its first start: it
// takes the library named slow.spi, is ready once the window has painted,
// and counts the window's paints when it is started.
int windowPaints = 0;

class SlowHostKind : public HostKind {
public:
    bool accepts(const std::string& path) const override { return path.ends_with("/slow.spi"); }
    bool prepare() const override { return windowPaints > 0; }
    std::unique_ptr<HostProcess> start() const override
    {
        paintsAtStart = windowPaints;
        return NativeHostKind().start();
    }
    mutable int paintsAtStart = -1;
};

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++windowPaints;
        return false;
    }
};

TEST(PluginSearch, APictureForASlowHostLoadsAfterTheFirstPaintInsteadOfHoldingItBack)
{
    test::ensureApplication();
    test::CollectedReports reports;
    SusieFolder susie({});
    ASSERT_TRUE(QFile::copy(QString(TAVO_BINARY_DIR) + "/tests/plugins/tpc.spi", susie.folder.filePath("slow.spi")));
    PaintCounter counter;
    auto kind = std::make_unique<SlowHostKind>();
    const SlowHostKind* slow = kind.get();
    PluginHosts::instance().addKind(std::move(kind));
    TfrmTavo2MainForm form;
    form.installEventFilter(&counter);
    form.strCurFile = writeTestPicture(susie.folder);
    form.show();
    EXPECT_NE(form.displayPicture().width(), 6);
    // A loop that blocks between events, as the program's own does.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (form.displayPicture().width() == 6)
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(form.displayPicture().width(), 6);
    EXPECT_EQ(form.displayPicture().height(), 4);
    EXPECT_GE(slow->paintsAtStart, 1);
    EXPECT_TRUE(reports.texts.empty()) << reports.texts.value(0).toStdString();
}

} // namespace
} // namespace tavo
