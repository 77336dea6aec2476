#include "ViewerTestSupport.h"

#include "imaging/FileListBox.h"
#include "viewer/ClickablePanel.h"
#include "viewer/FileListBoxWidget.h"
#include "viewer/MainForm.h"

#include <QFrame>
#include <QImage>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace tavo {
namespace {

using Lines = std::vector<std::string>;

class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        // The list moves the current directory into folders that tests delete.
        std::filesystem::current_path(TAVO_BINARY_DIR);
        ASSERT_TRUE(dir.isValid());
        root_ = std::filesystem::canonical(dir.path().toStdString()).string();
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        std::filesystem::current_path(TAVO_BINARY_DIR);
    }

    std::string bmp(const std::string& name, std::int32_t width = 8, std::int32_t height = 6)
    {
        std::filesystem::create_directories(std::filesystem::path(root_ + "/" + name).parent_path());
        return test::writePicture(dir, name, test::patternPicture(width, height));
    }
    std::string jpeg(const std::string& name)
    {
        const std::string path = root_ + "/" + name;
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "JPEG"));
        return path;
    }
    std::string broken(const std::string& name)
    {
        const std::string path = root_ + "/" + name;
        std::ofstream(path) << "not a picture";
        return path;
    }
    void load(const std::string& path)
    {
        form->strCurFile = path;
        form->LoadCurFile();
    }
    TFileListBox& list() { return form->flbImgFileList->list(); }
    std::string current() const { return std::filesystem::path(form->strCurFile).filename().string(); }

    QTemporaryDir dir;
    std::string root_;
    std::unique_ptr<TfrmTavo2MainForm> form;
};

TEST_F(NavigationTest, ALoadListsItsFolderWithItsLineSelected)
{
    EXPECT_TRUE(form->flbImgFileList->isHidden());
    EXPECT_EQ(list().count(), 0);
    for (const char* name : {"b.bmp", "a.bmp", "C.BMP"})
        bmp(name);
    jpeg("x.jpg");
    load(root_ + "/b.bmp");
    EXPECT_EQ(list().ListFolder(), root_);
    EXPECT_EQ(list().Mask(), "*.bmp");
    EXPECT_EQ(list().lines(), (Lines{"a.bmp", "b.bmp", "C.BMP"}));
    EXPECT_EQ(list().SelectedName(), "b.bmp");
    EXPECT_EQ(form->strCurDir, root_ + "/");
    EXPECT_EQ(std::filesystem::current_path().string(), root_);
}

TEST_F(NavigationTest, AnotherExtensionOrFolderChangesTheList)
{
    bmp("a.bmp");
    bmp("b.bmp");
    jpeg("p.jpg");
    jpeg("q.JPG");
    bmp("sub/s.bmp");
    load(root_ + "/a.bmp");
    load(root_ + "/q.JPG");
    EXPECT_EQ(list().Mask(), "*.JPG");
    EXPECT_EQ(list().lines(), (Lines{"p.jpg", "q.JPG"}));
    EXPECT_EQ(list().SelectedName(), "q.JPG");
    load(root_ + "/sub/s.bmp");
    EXPECT_EQ(list().ListFolder(), root_ + "/sub");
    EXPECT_EQ(list().lines(), (Lines{"s.bmp"}));
    EXPECT_EQ(list().SelectedIndex(), 0);
    EXPECT_EQ(form->strCurDir, root_ + "/sub/");
}

TEST_F(NavigationTest, NextAndPreviousStopAtTheEnds)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        bmp(name);
    load(root_ + "/a.bmp");
    form->spdPrevClick();
    EXPECT_EQ(current(), "a.bmp");
    form->spdNextClick();
    EXPECT_EQ(current(), "b.bmp");
    EXPECT_EQ(list().SelectedName(), "b.bmp");
    form->spdNextClick();
    form->spdNextClick();
    EXPECT_EQ(current(), "c.bmp");
    EXPECT_EQ(list().SelectedIndex(), 2);
    form->spdPrevClick();
    form->spdPrevClick();
    form->spdPrevClick();
    EXPECT_EQ(current(), "a.bmp");
}

TEST_F(NavigationTest, NextGoesOnPastAFileThatFailsToDecode)
{
    bmp("a.bmp");
    broken("b.bmp");
    bmp("c.bmp", 20, 10);
    load(root_ + "/a.bmp");
    test::CollectedReports reports;
    form->spdNext->click();
    EXPECT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(list().SelectedName(), "b.bmp");
    EXPECT_EQ(form->displayPicture().width(), 0);
    form->spdNext->click();
    EXPECT_EQ(reports.texts.size(), 1);
    EXPECT_EQ(current(), "c.bmp");
    EXPECT_EQ(form->displayPicture().width(), 20);
}

TEST_F(NavigationTest, AClickInTheListThenNextLoadsTheLineAfterIt)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        bmp(name);
    load(root_ + "/a.bmp");
    form->pnlSpilitClick();
    QApplication::processEvents();
    TFileListBoxWidget* widget = form->flbImgFileList;
    const QPoint line2 = widget->visualRect(widget->model()->index(2, 0)).center();
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, line2);
    EXPECT_EQ(current(), "a.bmp") << "a click only selects";
    form->spdNextClick();
    EXPECT_EQ(current(), "d.bmp");

    const QPoint line1 = widget->visualRect(widget->model()->index(1, 0)).center();
    QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, line1);
    EXPECT_EQ(current(), "b.bmp");
}

TEST_F(NavigationTest, ADoubleClickWithNoLineSelectedDoesNothing)
{
    form->pnlSpilitClick();
    QApplication::processEvents();
    test::CollectedReports reports;
    form->flbImgFileListDblClick();
    EXPECT_TRUE(form->strCurFile.empty());
    EXPECT_TRUE(reports.texts.isEmpty());
    EXPECT_GT(form->displayPicture().width(), 0) << "the start-up picture stays";
}

TEST_F(NavigationTest, TheSplitPanelWidensTheWorkAreaWithoutTouchingThePicture)
{
    bmp("a.bmp", 40, 30);
    load(root_ + "/a.bmp");
    QApplication::processEvents();
    const int width = form->pnlWkArea->width();
    const ImageBounds bounds = form->imageBounds();
    const double zoom = form->dblZoom;
    QTest::mouseClick(form->pnlSpilit, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(form->flbImgFileList->isVisible());
    EXPECT_EQ(form->flbImgFileList->width(), 100);
    EXPECT_EQ(form->flbImgFileList->x(), 0);
    EXPECT_EQ(form->pnlWkArea->width(), width - 100);
    EXPECT_EQ(form->imageBounds(), bounds);
    QTest::mouseClick(form->pnlSpilit, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(form->flbImgFileList->isHidden());
    EXPECT_EQ(form->pnlWkArea->width(), width);
    EXPECT_EQ(form->imageBounds(), bounds);
    EXPECT_EQ(form->dblZoom, zoom);
}

} // namespace
} // namespace tavo
