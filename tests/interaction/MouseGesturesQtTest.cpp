#include "ViewerTestSupport.h"

#include "interaction/MainFormMouse.h"
#include "interaction/core/MouseGestures.h"
#include "viewer/MainForm.h"

#include <QApplication>
#include <QFrame>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>

namespace tavo {
namespace {

// The pointer as the tests move it; setPos records where the handler put it.
class FakeCursor : public CursorSeam {
public:
    QPoint pos() const override { return position; }
    void setPos(const QPoint& p) override
    {
        position = p;
        ++setCount;
    }
    QPoint position{500, 500};
    int setCount = 0;
};

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
        auto seam = std::make_unique<FakeCursor>();
        cursor = seam.get();
        form->mouseHandlers->setCursorSeam(std::move(seam));
        test::resizeWorkArea(*form, 500, 400);
    }

    void load(std::int32_t width, std::int32_t height)
    {
        form->strCurFile = test::writePicture(dir, "p.bmp", test::patternPicture(width, height));
        form->LoadCurFile();
    }

    MainFormMouse& mouse() { return *form->mouseHandlers; }

    void moveTo(int x, int y)
    {
        cursor->position = {x, y};
        mouse().imgImgAreaMouseMove();
    }

    QTemporaryDir dir;
    std::unique_ptr<TfrmTavo2MainForm> form;
    FakeCursor* cursor = nullptr;
};

TEST_F(MouseTest, PressAndReleaseWithoutMovementChangeOnlyTheCursor)
{
    load(200, 100);
    const ImageBounds before = form->imageBounds();
    const double zoom = form->dblZoom;
    mouse().imgImgAreaMouseDown(Qt::RightButton, 10, 10);
    EXPECT_EQ(form->imgImgArea->cursor().shape(), Qt::ClosedHandCursor);
    mouse().imgImgAreaMouseUp(Qt::RightButton);
    EXPECT_EQ(form->imgImgArea->cursor().shape(), Qt::OpenHandCursor);
    EXPECT_EQ(form->imageBounds(), before);
    EXPECT_EQ(form->dblZoom, zoom);
    EXPECT_EQ(form->intRightDrag, 0);
}

TEST_F(MouseTest, ZoomDragHasADeadZoneOfFivePixelsAndPutsThePointerBack)
{
    load(200, 100);
    form->spbNoZoomClick();
    mouse().imgImgAreaMouseDown(Qt::RightButton, 50, 20);
    moveTo(500, 496);
    EXPECT_DOUBLE_EQ(form->dblZoom, 1.0);
    EXPECT_EQ(cursor->setCount, 0);
    moveTo(500, 495);
    EXPECT_NEAR(form->dblZoom, 1.1, 1e-12);
    EXPECT_EQ(cursor->position, QPoint(500, 500));
    EXPECT_EQ(cursor->setCount, 1);
    // 220 × 110, anchored at the press point (50, 20) of the picture at (0, 0).
    EXPECT_EQ(form->imageBounds(), (ImageBounds{50 - 55, 20 - 22, 220, 110}));
    const QString title = form->windowTitle();
    EXPECT_TRUE(title.endsWith("110%")) << title.toStdString();
}

TEST_F(MouseTest, ZoomOutStopsBelowTheLimitAndTheDragStaysEnded)
{
    load(200, 100);
    form->dblZoom = 0.35;
    mouse().imgImgAreaMouseDown(Qt::RightButton, 0, 0);
    moveTo(500, 510);
    EXPECT_NEAR(form->dblZoom, 0.25, 1e-12);
    EXPECT_EQ(form->intRightDrag, 1);
    moveTo(500, 510);
    EXPECT_NEAR(form->dblZoom, 0.25, 1e-12);
    EXPECT_EQ(form->intRightDrag, 0);
    moveTo(500, 480);
    EXPECT_NEAR(form->dblZoom, 0.25, 1e-12);
}

TEST_F(MouseTest, AWideLowPictureKeepsGrowing)
{
    load(2000, 100);
    form->spbNoZoomClick();
    form->dblZoom = 4.0;
    form->setImageBounds({0, 0, 8000, 400});
    mouse().imgImgAreaMouseDown(Qt::RightButton, 0, 0);
    moveTo(500, 490);
    EXPECT_GT(form->dblZoom, 4.0);
    EXPECT_EQ(form->intRightDrag, 1);
}

TEST_F(MouseTest, SidewaysDistanceRevealsTheToolBoxAtThePointer)
{
    load(200, 100);
    form->intFLBoxShowX = 30;
    mouse().imgImgAreaMouseDown(Qt::RightButton, 0, 0);
    moveTo(529, 495);
    EXPECT_NEAR(form->dblZoom, 2.5 + 0.1, 1e-12) << "29 pixels sideways still zooms";
    moveTo(530, 700);
    EXPECT_EQ(form->intRightDrag, 0);
    EXPECT_TRUE(form->TLBToolBox->isVisible());
    EXPECT_TRUE(form->TLBToolBox->isFloating());
    // A tool window of the viewer, managed like its other windows.
    EXPECT_FALSE(form->TLBToolBox->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(form->TLBToolBox->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(form->TLBToolBox->pos(), QPoint(535, 640));

    // Already visible and floating: only the top edge follows.
    mouse().imgImgAreaMouseUp(Qt::RightButton);
    cursor->position = {100, 100};
    mouse().imgImgAreaMouseDown(Qt::RightButton, 0, 0);
    moveTo(200, 300);
    EXPECT_EQ(form->TLBToolBox->pos(), QPoint(535, 240));
}

TEST_F(MouseTest, LeftDragFollowsThePointerFromThePictureOrTheWorkArea)
{
    load(200, 100);
    form->spbNoZoomClick();
    cursor->position = {300, 300};
    mouse().imgImgAreaMouseDown(Qt::LeftButton, 5, 5);
    moveTo(2300, -700); // far beyond the window
    EXPECT_EQ(form->imageBounds(), (ImageBounds{2000, -1000, 200, 100}));
    mouse().imgImgAreaMouseUp(Qt::LeftButton);
    moveTo(0, 0);
    EXPECT_EQ(form->imageBounds().left, 2000);

    // A press on the work area beside the picture drags it too; the work
    // area's own cursor stays as it was.
    const auto workAreaCursor = form->pnlWkArea->cursor().shape();
    QTest::mousePress(form->pnlWkArea, Qt::LeftButton, {}, QPoint(480, 380));
    EXPECT_EQ(form->intLeftDrag, 1);
    EXPECT_EQ(form->pnlWkArea->cursor().shape(), workAreaCursor);
    moveTo(10, 20);
    EXPECT_EQ(form->imageBounds(), (ImageBounds{2010, -980, 200, 100}));
    QTest::mouseRelease(form->pnlWkArea, Qt::LeftButton, {}, QPoint(480, 380));
    EXPECT_EQ(form->intLeftDrag, 0);
}

TEST_F(MouseTest, DoubleClickGlidesTheClickedPointToHalfTheOuterWindow)
{
    load(200, 100);
    form->spbNoZoomClick();
    for (int steps : {1, 10, 0}) {
        form->setImageBounds({0, 0, 200, 100});
        form->intMoveRatio = steps;
        mouse().imgImgAreaMouseDown(Qt::LeftButton, 40, 30);
        mouse().imgImgAreaMouseUp(Qt::LeftButton);
        mouse().imgImgAreaDblClick();
        const QRect outer = form->frameGeometry();
        const PointI target{outer.width() / 2 - 40, outer.height() / 2 - 30};
        const PointI last = glidePosition({0, 0}, target, steps, glideSteps(steps));
        EXPECT_EQ(form->imageBounds(), (ImageBounds{last.x, last.y, 200, 100})) << steps << " steps";
        EXPECT_NEAR(last.x, target.x, 1);
        EXPECT_NEAR(last.y, target.y, 1);
    }
}

TEST_F(MouseTest, MovingThePointerRebuildsTheTitle)
{
    EXPECT_EQ(form->windowTitle(), "TavoTavo");
    moveTo(1, 1);
    EXPECT_EQ(form->windowTitle(), "TavoTavo [(320 × 240)] - 拡大率 100%");
}

} // namespace
} // namespace tavo
