#include "ViewerTestSupport.h"

#include "interaction/MainFormKeys.h"
#include "viewer/MainForm.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include "interaction/OptionDialog.h"

#include "viewer/FileListBoxWidget.h"
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace tavo {
namespace {

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
        test::resizeWorkArea(*form, 500, 400);
    }

    std::string picture(const std::string& name, std::int32_t width, std::int32_t height)
    {
        return test::writePicture(dir, name, test::patternPicture(width, height));
    }

    void load(const std::string& path)
    {
        form->strCurFile = path;
        form->LoadCurFile();
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(form.get(), key, modifiers);
    }

    QTemporaryDir dir;
    std::unique_ptr<TfrmTavo2MainForm> form;
};

TEST_F(KeysTest, SpaceBeforeAnyLoadDoesNothing)
{
    test::CollectedReports reports;
    press(Qt::Key_Space);
    EXPECT_TRUE(reports.texts.isEmpty());
    EXPECT_TRUE(form->strCurFile.empty());
}

TEST_F(KeysTest, CtrlSpaceGoesOnAndShiftSpaceOnlyReappliesTheRatio)
{
    const std::string a = picture("a.bmp", 100, 50);
    const std::string b = picture("b.bmp", 100, 50);
    load(a);
    press(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(form->strCurFile, b);
    press(Qt::Key_Backspace);
    EXPECT_EQ(form->strCurFile, a);
    press(Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(form->strCurFile, a);
}

TEST_F(KeysTest, ArrowsMoveByATenthAndOnlyShiftAloneZooms)
{
    load(picture("a.bmp", 100, 480));
    form->spbNoZoomClick();
    press(Qt::Key_Up);
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, -48, 100, 480}));
    press(Qt::Key_Up, Qt::ControlModifier);
    press(Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form->imageBounds().top, -144);
    press(Qt::Key_Right);
    EXPECT_EQ(form->imageBounds().left, 10);

    form->setImageBounds({0, 0, 9, 9});
    press(Qt::Key_Down);
    EXPECT_EQ(form->imageBounds(), (ImageBounds{0, 0, 9, 9}));

    // Shift+UP at a shown height of 240 adds 0.1 and keeps the centre; the title waits.
    form->dblZoom = 0.5;
    form->setImageBounds({0, 0, 50, 240});
    const QString title = form->windowTitle();
    press(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_NEAR(form->dblZoom, 0.6, 1e-12);
    EXPECT_EQ(form->imageBounds(), (ImageBounds{-5, -24, 60, 288}));
    EXPECT_EQ(form->windowTitle(), title);
}

TEST_F(KeysTest, ZoomModeKeysRunTheCommandThenPutTheButtonDown)
{
    load(picture("a.bmp", 1000, 2000));
    press(Qt::Key_F3);
    EXPECT_TRUE(form->spbFull->isChecked());
    EXPECT_NEAR(form->dblZoom, 0.2, 1e-12);
    load(picture("b.bmp", 1000, 2000));
    EXPECT_EQ(form->imageBounds(), (ImageBounds{150, 0, 200, 400}));
    press(Qt::Key_F4);
    EXPECT_TRUE(form->spbNoZoom->isChecked());
    EXPECT_FALSE(form->spbFull->isChecked());
    press(Qt::Key_F2);
    EXPECT_TRUE(form->spbWindowWidth->isChecked());
}

TEST_F(KeysTest, ShiftAlonePutsTheFullSizePictureBackInPlace)
{
    load(picture("a.bmp", 400, 300));
    form->spbNoZoomClick();
    form->dblZoom = 0.5;
    form->setImageBounds({10, 20, 200, 150});
    // As the idle-time reduction leaves it: a reduced display picture.
    form->bmpSource = form->displayPicture();
    form->imgImgArea->setPicture(test::patternPicture(200, 150));
    form->blnCleared = true;
    press(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(form->blnCleared);
    EXPECT_EQ(form->displayPicture().width(), 400);
    EXPECT_EQ(form->imageBounds(), (ImageBounds{10, 20, 200, 150}));
}

TEST_F(KeysTest, EscapeClosesEvenDuringAZoomDrag)
{
    form->intRightDrag = 1;
    press(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
} // namespace tavo

namespace tavo {
namespace {

TEST_F(KeysTest, KeysGoToTheShownListWhileItHasTheFocusAndComeBackWhenItIsHidden)
{
    const std::string a = picture("a.bmp", 100, 50);
    picture("b.bmp", 100, 50);
    picture("c.bmp", 100, 50);
    load(a);
    form->pnlSpilitClick();
    ASSERT_TRUE(form->flbImgFileList->isVisible());
    QApplication::setActiveWindow(form.get());
    form->flbImgFileList->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), form->flbImgFileList);
    const ImageBounds before = form->imageBounds();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(form->flbImgFileList->list().SelectedIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(form->imageBounds(), before);
    EXPECT_EQ(form->strCurFile, a) << "the commands do not run while the list has the focus";

    // Back from the options dialog, the window focuses its first focusable
    // control again: the shown list.
    form->flbImgFileList->clearFocus();
    QTimer::singleShot(0, form.get(), [this] { form->dlgOption->CancelBtn->click(); });
    form->spbConfigClick();
    QApplication::setActiveWindow(form.get());
    EXPECT_EQ(QApplication::focusWidget(), form->flbImgFileList);

    form->pnlSpilitClick();
    EXPECT_FALSE(form->flbImgFileList->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    QTest::keyClick(form.get(), Qt::Key_Space);
    EXPECT_EQ(form->strCurFile, form->flbImgFileList->list().SelectedPath());
    EXPECT_NE(form->strCurFile, a);
}

} // namespace
} // namespace tavo
