#include "ViewerTestSupport.h"

#include "imaging/ZoomOut.h"
#include "viewer/MainForm.h"
#include "viewer/RefineOnIdle.h"

#include <QAction>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace tavo {
namespace {

using test::patternPicture;

// Lets the event loop run until its queue is empty and it blocks, as between
// two user actions.
void idleMoment()
{
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

class RefineOnIdleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
        test::resizeWorkArea(*form, 800, 700);
        form->blnUseClear = true;
    }

    // Loads the picture in the fit-width mode (the default): 800 wide.
    void load(const Bitmap& picture)
    {
        form->strCurFile = test::writePicture(dir, "picture.bmp", picture);
        form->LoadCurFile();
    }

    const Bitmap& display() const { return form->displayPicture(); }

    QTemporaryDir dir;
    test::CollectedReports reports;
    std::unique_ptr<TfrmTavo2MainForm> form;
};

TEST_F(RefineOnIdleTest, ReducedViewBecomesTheAreaAverageOfTheControlSize)
{
    load(patternPicture(2000, 1500));
    ASSERT_EQ(form->imgImgArea->width(), 800);
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), 2000);

    idleMoment();
    EXPECT_TRUE(form->blnCleared);
    EXPECT_EQ(display().bitCount(), 24);
    EXPECT_EQ(display().width(), 800);
    EXPECT_EQ(display().height(), 600);
    EXPECT_EQ(form->bmpSource.width(), 2000);
    EXPECT_EQ(form->bmpSource.height(), 1500);
    Bitmap expected = form->bmpSource;
    ShrinkBitmap(expected, 800.0 / 2000);
    EXPECT_EQ(std::memcmp(display().row(300), expected.row(300), 3 * 800), 0);
    // The control keeps its bounds; later idle moments leave the refined view alone.
    EXPECT_EQ(form->imgImgArea->width(), 800);
    idleMoment();
    EXPECT_EQ(display().width(), 800);
    EXPECT_TRUE(reports.texts.isEmpty());
}

TEST_F(RefineOnIdleTest, FullSizeExactWidthEnlargedAndOptionOffAreNeverRefined)
{
    load(patternPicture(800, 300)); // fit width: exactly as wide as the control
    idleMoment();
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), 800);

    load(patternPicture(1200, 900));
    form->spbNoZoomClick(); // 100 %
    idleMoment();
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), 1200);
    form->psiDirectZoom(form->psi200);
    idleMoment();
    EXPECT_FALSE(form->blnCleared);

    form->blnUseClear = false;
    form->spbWindowWidthClick(); // reduced, but the option is off
    idleMoment();
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), 1200);
}

TEST_F(RefineOnIdleTest, ZoomingInShowsTheFullSizePictureAndAReducedViewRefinesAgain)
{
    load(patternPicture(2000, 1500));
    idleMoment();
    ASSERT_TRUE(form->blnCleared);

    form->psiDirectZoom(form->psi200);
    EXPECT_FALSE(form->blnCleared);
    EXPECT_TRUE(display().sharesPixelsWith(form->bmpSource));
    EXPECT_EQ(display().width(), 2000);
    idleMoment();
    EXPECT_FALSE(form->blnCleared); // enlarged: stays sharp at full size

    form->psiDirectZoom(form->psi20);
    ASSERT_EQ(form->imgImgArea->width(), 400);
    idleMoment();
    EXPECT_TRUE(form->blnCleared);
    EXPECT_EQ(display().width(), 400);
    EXPECT_EQ(display().height(), 300);
    EXPECT_EQ(form->bmpSource.width(), 2000);
}

TEST_F(RefineOnIdleTest, GreyscalePictureRefinesTo24BitWhileTheSourceKeeps8Bits)
{
    Bitmap grey(2000, 1500, 8);
    std::vector<PaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(i), 0};
    grey.setPalette(palette);
    for (std::int32_t y = 0; y < grey.height(); ++y)
        std::memset(grey.mutableRow(y), y % 256, 2000);
    load(grey);
    ASSERT_EQ(display().bitCount(), 8);
    idleMoment();
    EXPECT_TRUE(form->blnCleared);
    EXPECT_EQ(display().bitCount(), 24);
    EXPECT_EQ(display().width(), 800);
    EXPECT_EQ(form->bmpSource.bitCount(), 8);
    EXPECT_EQ(form->bmpSource.width(), 2000);
    const std::uint8_t* row = display().row(0);
    EXPECT_TRUE(row[0] == row[1] && row[1] == row[2]); // still grey
}

TEST_F(RefineOnIdleTest, AViewThatNoReductionFitsKeepsItsQuickViewWithoutAReport)
{
    // 30000 × 10 shown 800 wide would be 0 rows high: no reduction is possible.
    load(patternPicture(30000, 10));
    idleMoment();
    idleMoment();
    EXPECT_TRUE(reports.texts.isEmpty());
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), 30000);
    // A long strip beyond the 32-bit limits of the fixed-point arithmetic is refined.
    form->imgImgArea->setPicture(patternPicture(1000, 40000));
    form->spbWindowWidthClick();
    idleMoment();
    EXPECT_TRUE(reports.texts.isEmpty());
    EXPECT_TRUE(form->blnCleared);
    EXPECT_EQ(display().width(), 800);
    EXPECT_EQ(display().height(), 32000);
}

TEST_F(RefineOnIdleTest, FailedRefinementIsReportedOncePerViewAndNeverInsideItsOwnReport)
{
    // An 8-bit picture whose 24-bit copy would exceed the largest bitmap (over
    // 4 GiB): the reduction fails. Its own pixels are untouched zero pages,
    // and stay so with the window hidden (painting would sample them).
    form->hide();
    form->imgImgArea->setPicture(Bitmap(Bitmap::kMaxSide, 21846, 8));
    form->spbWindowWidthClick();
    idleMoment();
    idleMoment();
    ASSERT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(reports.texts[0].toStdString(), std::string(EInvalidGraphic().what()) + ".");
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(display().width(), Bitmap::kMaxSide);

    // A new view is tried (and fails) once again. The report's own event loop,
    // as a message box has, reaches the idle hook without running it.
    int depth = 0, deepest = 0;
    bool changed = false;
    setErrorReporter([&](const QString& text) {
        reports.texts << text;
        deepest = std::max(deepest, ++depth);
        if (!changed) {
            changed = true;
            ImageBounds other = form->imageBounds();
            other.width -= 100;
            form->setImageBounds(other);
        }
        idleMoment();
        --depth;
    });
    form->psiDirectZoom(form->psi20);
    idleMoment();
    EXPECT_EQ(reports.texts.size(), 2);
    EXPECT_EQ(deepest, 1);
    idleMoment(); // the view changed inside the report: tried once, after it
    EXPECT_EQ(reports.texts.size(), 3);
    idleMoment();
    EXPECT_EQ(reports.texts.size(), 3);
}

} // namespace
} // namespace tavo
