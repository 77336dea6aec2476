#include "ViewerTestSupport.h"

#include "app/PictureFile.h"
#include "app/PicturePrefetch.h"
#include "viewer/ClickablePanel.h"
#include "viewer/MainForm.h"
#include "platform/Errors.h"

#include <QAction>
#include <QButtonGroup>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLayout>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace tavo {
namespace {

using test::patternPicture;
using test::resizeWorkArea;
using test::writePicture;

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
    }

    std::string picture(const std::string& name, std::int32_t width, std::int32_t height)
    {
        return writePicture(dir, name, patternPicture(width, height));
    }

    void load(const std::string& path)
    {
        form->strCurFile = path;
        form->LoadCurFile();
    }

    // What the window system is given, after the toolkit has read the title.
    QString caption() const { return form->windowHandle()->title(); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmTavo2MainForm> form;
};

TEST_F(MainFormTest, ToolbarHoldsEveryButtonInOrderWithItsHint)
{
    QToolBar* bar = form->TLBToolBox;
    EXPECT_EQ(bar->objectName(), "TLBToolBox");
    EXPECT_EQ(bar->windowTitle(), "ToolBox");
    EXPECT_TRUE(bar->isMovable());
    EXPECT_TRUE(bar->isFloatable());
    EXPECT_EQ(form->toolBarArea(bar), TfrmTavo2MainForm::Dock971);

    const std::vector<std::pair<QString, QString>> expected = {
        {"spdPrev", "前の画像(BS)"},
        {"spdNext", "次の画像(SPACE)"},
        {"ToolbarSep972", ""},
        {"spbWindowWidth", "横幅をウィンドウに合わせる(F2)"},
        {"spbFull", "全体をウィンドウに収める(F3)"},
        {"spbNoZoom", "元の大きさで表示(F4)"},
        {"tlbZomRatio", "ダイレクトに倍率を指定"},
        {"ToolbarSep973", ""},
        {"spbExTool1", ""},
        {"spbExTool2", ""},
        {"spbExTool3", ""},
        {"ToolbarSep971", ""},
        {"spbConfig", "環境設定(F5)"},
        {"spdClose", "アプリケーションの終了(ESC)"},
    };
    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QAction* action = actions[static_cast<qsizetype>(i)];
        if (action->isSeparator()) {
            EXPECT_EQ(action->objectName(), expected[i].first);
            continue;
        }
        QWidget* button = bar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->objectName(), expected[i].first);
        EXPECT_EQ(button->toolTip(), expected[i].second) << expected[i].first.toStdString();
    }
    EXPECT_EQ(form->spbWindowWidth->size(), QSize(26, 24));
    EXPECT_EQ(form->spbFull->size(), QSize(24, 24));
    EXPECT_EQ(form->spbExTool1->size(), QSize(25, 25));
    EXPECT_TRUE(form->spbExTool2->icon().isNull());
    EXPECT_FALSE(form->spbConfig->icon().isNull());
    EXPECT_FALSE(form->spdPrev->isEnabled());
    EXPECT_FALSE(form->spdNext->isEnabled());
}

TEST_F(MainFormTest, ZoomModeGroupAlwaysHasExactlyOneButtonDown)
{
    auto downCount = [&] {
        return int(form->spbWindowWidth->isChecked()) + int(form->spbFull->isChecked()) +
               int(form->spbNoZoom->isChecked());
    };
    EXPECT_TRUE(form->spbWindowWidth->isChecked());
    EXPECT_EQ(downCount(), 1);
    form->spbFull->click();
    EXPECT_TRUE(form->spbFull->isChecked());
    EXPECT_EQ(downCount(), 1);
    // Pressing the button that is down keeps it down and runs its command again.
    form->setImageBounds({1, 2, 3, 4});
    form->spbFull->click();
    EXPECT_TRUE(form->spbFull->isChecked());
    EXPECT_EQ(downCount(), 1);
    EXPECT_NE(form->imageBounds(), (ImageBounds{1, 2, 3, 4}));
}

TEST_F(MainFormTest, ZoomRatioMenuHasEightItemsWithTagsAndCaptions)
{
    EXPECT_EQ(form->tlbZomRatio->menu(), form->ppmZoomRatio);
    const QList<QAction*> items = form->ppmZoomRatio->actions();
    const int tags[] = {400, 300, 200, 100, 80, 60, 40, 20};
    ASSERT_EQ(items.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(items[i]->objectName(), QString("psi%1").arg(tags[i]));
        EXPECT_EQ(items[i]->data().toInt(), tags[i]);
        EXPECT_EQ(items[i]->text(), QString("%1%").arg(tags[i]));
    }
}

TEST_F(MainFormTest, StartsWithTheStartupPictureCentredAndTheInitialState)
{
    EXPECT_EQ(caption(), "TavoTavo");
    // Placement defaults: a fifth of the primary screen in, half its size.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(form->pos(), QPoint(screen.width() / 5, screen.height() / 5));
    EXPECT_EQ(form->size(), QSize(screen.width() / 2, screen.height() / 2));
    EXPECT_EQ(form->imgImgArea->parentWidget(), form->pnlWkArea);
    EXPECT_EQ(form->pnlWkArea->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
    EXPECT_EQ(form->pnlWkArea->frameStyle(), QFrame::Panel | QFrame::Sunken);
    EXPECT_EQ(form->pnlWkArea->lineWidth(), 1);
    EXPECT_EQ(form->pnlWkArea->palette().color(QPalette::Window),
              form->pnlWkArea->palette().color(QPalette::Button));
    EXPECT_TRUE(form->flbImgFileList->isHidden());
    EXPECT_EQ(form->flbImgFileList->width(), 100);
    EXPECT_EQ(form->pnlSpilit->width(), 10);

    const Bitmap& shown = form->displayPicture();
    EXPECT_EQ(shown.width(), 320);
    EXPECT_EQ(shown.height(), 240);
    EXPECT_EQ(shown.bitCount(), 8);
    const ImageBounds image = form->imageBounds();
    EXPECT_EQ(image.left, (form->pnlWkArea->width() - 320) / 2);
    EXPECT_EQ(image.top, (form->pnlWkArea->height() - 240) / 2);
    EXPECT_EQ(image.width, 320);

    EXPECT_DOUBLE_EQ(form->dblAspect, 0.75);
    EXPECT_DOUBLE_EQ(form->dblZoom, 1.0);
    EXPECT_TRUE(form->bmpSource.isEmpty());
    EXPECT_FALSE(form->blnCleared);
    EXPECT_TRUE(form->strCurDir.empty());
    EXPECT_TRUE(form->strCurFile.empty());
    EXPECT_EQ(form->intMoveRatio, 1);
    EXPECT_EQ(form->intFLBoxShowX, 30);
    EXPECT_FALSE(form->blnUseClear);
    EXPECT_EQ(form->imgImgArea->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(MainFormTest, ZoomBeforeAnyLoadWorksOnTheStartupPicture)
{
    form->spbNoZoomClick();
    EXPECT_EQ(caption(), "TavoTavo [(320 × 240)] - 拡大率 100%");
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, 0, 320, 240}));
}

// The toolkit reads "[*]" in a title as a placeholder of its own; the
// caption is the title line as written, whatever the file is called.
TEST_F(MainFormTest, CaptionShowsPlaceholderLikeFileNamesAsWritten)
{
    resizeWorkArea(*form, 500, 400);
    for (const std::string name : {"[*]x.bmp", "a[*][*]b.bmp", "[[*]].bmp", "[*.bmp", "*].bmp"}) {
        load(picture(name, 250, 10));
        EXPECT_EQ(caption(), QString::fromStdString("TavoTavo [" + name + "(250 × 10)] - 拡大率 200%"));
    }
}

TEST_F(MainFormTest, ZoomCommandsSetTheBoundsRatioAndCaption)
{
    resizeWorkArea(*form, 500, 400);
    load(picture("tall.bmp", 1000, 2000));
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, 0, 500, 1000}));
    EXPECT_DOUBLE_EQ(form->dblZoom, 0.5);
    EXPECT_EQ(caption(), "TavoTavo [tall.bmp(1000 × 2000)] - 拡大率 50%");

    form->spbFullClick();
    EXPECT_EQ(form->imageBounds(), (ImageBounds{150, 0, 200, 400}));
    EXPECT_DOUBLE_EQ(form->dblZoom, 0.2);
    EXPECT_EQ(caption(), "TavoTavo [tall.bmp(1000 × 2000)] - 拡大率 20%");

    form->spbNoZoomClick();
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, 0, 1000, 2000}));
    EXPECT_EQ(caption(), "TavoTavo [tall.bmp(1000 × 2000)] - 拡大率 100%");
}

TEST_F(MainFormTest, FixedRatioCapsKeepsTheCentreAndIsNotKeptByTheNextLoad)
{
    resizeWorkArea(*form, 400, 300);
    const std::string wide = picture("wide.bmp", 2000, 1500);
    load(wide);
    form->psi400->trigger();
    EXPECT_EQ(form->imageBounds().width, 4096);
    EXPECT_EQ(form->imageBounds().height, 3072);
    EXPECT_DOUBLE_EQ(form->dblZoom, 4.0);
    EXPECT_EQ(caption(), "TavoTavo [wide.bmp(2000 × 1500)] - 拡大率 400%");
    EXPECT_TRUE(form->spbWindowWidth->isChecked());

    load(picture("small.bmp", 100, 100));
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, 0, 400, 400}));  // fit width again
    form->setImageBounds({150, 100, 100, 100});
    form->dblZoom = 1.0;
    form->psi200->trigger();
    EXPECT_EQ(form->imageBounds(), (ImageBounds{100, 50, 200, 200}));
    EXPECT_EQ(caption(), "TavoTavo [small.bmp(100 × 100)] - 拡大率 200%");
}

TEST_F(MainFormTest, LoadSharesPixelsAndEnablesNavigation)
{
    load(picture("a.bmp", 64, 48));
    EXPECT_TRUE(form->displayPicture().sharesPixelsWith(form->bmpSource));
    EXPECT_DOUBLE_EQ(form->dblAspect, 0.75);
    EXPECT_TRUE(form->spdNext->isEnabled());
    EXPECT_TRUE(form->spdPrev->isEnabled());

    // Loading the shown file again decodes it again and re-applies the mode.
    form->setImageBounds({5, 5, 5, 5});
    form->dblZoom = 3.0;
    const Bitmap before = form->bmpSource;
    form->LoadCurFile();
    EXPECT_FALSE(form->bmpSource.sharesPixelsWith(before));
    EXPECT_EQ(form->imageBounds().left, 0);
    EXPECT_DOUBLE_EQ(form->dblZoom, static_cast<double>(form->pnlWkArea->width()) / 64);

    const std::string jpeg = TAVO_SOURCE_DIR "/tests/fuzz/corpus/jpeg/baseline.jpg";
    load(jpeg);
    EXPECT_FALSE(form->displayPicture().isEmpty());
    EXPECT_TRUE(caption().startsWith("TavoTavo [baseline.jpg("));
}

TEST_F(MainFormTest, TheNextPictureIsDecodedIntoThePreviousOnesMemory)
{
    // Pictures of 18 MB from files of a few kilobytes: the reader fills the
    // rows the file lacks with zeros, and the file's bytes stay small.
    const auto bigPicture = [&](const std::string& name) {
        const std::string path = picture(name, 3000, 2000);
        EXPECT_TRUE(QFile::resize(QString::fromStdString(path), 4096));
        return path;
    };
    const std::string first = bigPicture("first.bmp");
    const std::string second = bigPicture("second.bmp");
    load(first);
    const std::uint8_t* const memory = form->bmpSource.bits();
    load(second);
    EXPECT_EQ(form->bmpSource.bits(), memory);
    EXPECT_EQ(caption().left(26), "TavoTavo [second.bmp(3000 ");
    load(first);
    EXPECT_EQ(form->bmpSource.bits(), memory);
}

TEST_F(MainFormTest, FailedLoadBlanksThePictureAndKeepsTheRest)
{
    resizeWorkArea(*form, 500, 400);
    load(picture("good.bmp", 1000, 2000));
    form->blnCleared = true;  // as after idle refinement
    const ImageBounds bounds = form->imageBounds();
    const QString before = caption();

    const std::string missing = dir.filePath("missing.bmp").toStdString();
    form->strCurFile = missing;
    EXPECT_THROW(form->LoadCurFile(), EFOpenError);
    EXPECT_TRUE(form->displayPicture().isEmpty());
    EXPECT_TRUE(form->bmpSource.isEmpty());  // nothing could show it again
    EXPECT_DOUBLE_EQ(form->dblAspect, 2.0);
    EXPECT_DOUBLE_EQ(form->dblZoom, 0.5);
    EXPECT_EQ(form->imageBounds(), bounds);
    EXPECT_EQ(caption(), before);
    EXPECT_EQ(form->strCurFile, missing);
    EXPECT_TRUE(form->spdNext->isEnabled());
    EXPECT_FALSE(form->blnCleared);

    // Zoom commands on the empty picture keep the view and put no undefined
    // number into the caption.
    form->spbWindowWidthClick();
    form->spbFullClick();
    form->psi300->trigger();
    EXPECT_EQ(form->imageBounds(), bounds);
    EXPECT_TRUE(form->displayPicture().isEmpty());
    EXPECT_EQ(caption(), "TavoTavo [missing.bmp(0 × 0)] - 拡大率 50%");
}

TEST_F(MainFormTest, AFifoFailsAtOnceInsteadOfBlockingTheWindow)
{
    load(picture("first.bmp", 40, 30));
    const QString before = caption();
    // Nothing ever writes into it: opening it to read would wait forever.
    const std::string fifo = dir.filePath("pipe.jpg").toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    form->strCurFile = fifo;
    EXPECT_THROW(form->LoadCurFile(), EFOpenError);
    EXPECT_TRUE(form->displayPicture().isEmpty());
    EXPECT_EQ(caption(), before);
}

TEST_F(MainFormTest, FailedLoadAtShowIsReportedAndTheWindowStays)
{
    test::CollectedReports reports;
    TfrmTavo2MainForm other;
    other.strCurFile = dir.filePath("broken.bmp").toStdString();
    other.show();
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(reports.texts[0], QString::fromStdString(EFOpenError(other.strCurFile).what()) + ".");
    EXPECT_TRUE(other.isVisible());
    EXPECT_TRUE(other.displayPicture().isEmpty());
    EXPECT_FALSE(other.spdNext->isEnabled());
    EXPECT_EQ(other.windowTitle(), "TavoTavo");
}

TEST_F(MainFormTest, TheCommandLinePictureDecodedAheadShowsAsItsOwnLoadWould)
{
    // A broken picture: its error is reported at the show's load, once, with
    // the decoder's text, and the window stays with nothing loaded.
    const std::string broken = dir.filePath("broken.jpg").toStdString();
    {
        QFile file(QString::fromStdString(broken));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xFF\xD8 not a JPEG stream");
    }
    std::string expected;
    try {
        decodePictureFile(broken);
    } catch (const std::exception& error) {
        expected = error.what();
    }
    ASSERT_FALSE(expected.empty());
    {
        test::CollectedReports reports;
        TfrmTavo2MainForm other;
        other.strCurFile = broken;
        other.prefetch = std::make_unique<PicturePrefetch>(broken);
        EXPECT_TRUE(reports.texts.isEmpty()) << "nothing is reported before the load";
        other.show();
        ASSERT_EQ(reports.texts.size(), 1);
        EXPECT_EQ(reports.texts[0], QString::fromStdString(expected) + ".");
        EXPECT_TRUE(other.isVisible());
        EXPECT_TRUE(other.displayPicture().isEmpty());
        EXPECT_FALSE(other.spdNext->isEnabled());
        EXPECT_EQ(other.windowTitle(), "TavoTavo");
        EXPECT_EQ(other.prefetch, nullptr);
    }

    // A good one: the same picture, title line and list as a plain load.
    const std::string good = picture("good.bmp", 300, 200);
    test::CollectedReports reports;
    TfrmTavo2MainForm ahead;
    ahead.strCurFile = good;
    ahead.prefetch = std::make_unique<PicturePrefetch>(good);
    ahead.show();
    load(good);
    EXPECT_TRUE(reports.texts.isEmpty());
    EXPECT_EQ(ahead.windowTitle().section(']', 0, 0), caption().section(']', 0, 0));
    ASSERT_EQ(ahead.displayPicture().width(), 300);
    for (std::int32_t y = 0; y < 200; ++y)
        ASSERT_EQ(0, std::memcmp(ahead.displayPicture().row(y), form->displayPicture().row(y), 900));
    EXPECT_TRUE(ahead.spdNext->isEnabled());
}

TEST_F(MainFormTest, AFileNoDecoderAcceptsFailsLikeAnyLoad)
{
    load(picture("first.bmp", 40, 30));
    const QString before = caption();
    const std::string other = dir.filePath("notes.xyz").toStdString();
    QFile file(QString::fromStdString(other));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    form->strCurFile = other;
    EXPECT_THROW(form->LoadCurFile(), Exception);
    EXPECT_TRUE(form->displayPicture().isEmpty());
    EXPECT_EQ(caption(), before);
}

TEST_F(MainFormTest, ZoomRestoresTheFullSizePictureFirst)
{
    resizeWorkArea(*form, 500, 400);
    load(picture("big.bmp", 1000, 500));
    form->imgImgArea->setPicture(patternPicture(500, 250));  // the idle-time reduction
    form->blnCleared = true;
    form->spbFullClick();
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(form->displayPicture().width(), 1000);
    EXPECT_DOUBLE_EQ(form->dblZoom, 0.5);
}

TEST_F(MainFormTest, SplitPanelTogglesTheListWithoutMovingThePicture)
{
    form->layout()->activate();
    const int width = form->pnlWkArea->width();
    const ImageBounds bounds = form->imageBounds();
    QTest::mouseClick(form->pnlSpilit, Qt::LeftButton);
    form->layout()->activate();
    EXPECT_FALSE(form->flbImgFileList->isHidden());
    EXPECT_EQ(form->pnlWkArea->width(), width - 100);
    EXPECT_EQ(form->imageBounds(), bounds);
    form->pnlSpilitClick();
    EXPECT_TRUE(form->flbImgFileList->isHidden());
}

TEST_F(MainFormTest, CloseButtonClosesTheWindow)
{
    form->spdClose->click();
    EXPECT_FALSE(form->isVisible());
}

} // namespace
} // namespace tavo
