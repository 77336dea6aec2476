#include "ViewerTestSupport.h"

#include "viewer/FileListBoxWidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace tavo;

namespace {

class FileListBoxWidgetTest : public testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        // The list moves the current directory into folders that tests delete.
        std::filesystem::current_path(TAVO_BINARY_DIR);
        char pattern[] = "/tmp/tavo-listwidget-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = std::filesystem::canonical(pattern).string();
    }
    void TearDown() override
    {
        std::filesystem::current_path(TAVO_BINARY_DIR);
        std::filesystem::remove_all(root_);
    }
    void touch(const std::string& name) const { std::ofstream(root_ + "/" + name) << "x"; }
    void show(TFileListBoxWidget& widget, const std::string& mask)
    {
        widget.resize(100, 300);
        widget.show();
        widget.list().PointAtPath(root_ + "/");
        widget.list().setFileType({TFileAttr::ftNormal});
        widget.list().setMask(mask);
        QApplication::processEvents();
    }
    QPoint centreOf(const TFileListBoxWidget& widget, int row) const
    {
        return widget.visualRect(widget.model()->index(row, 0)).center();
    }

    std::string root_;
};

} // namespace

TEST_F(FileListBoxWidgetTest, ShowsTheLinesOneFontLineHigh)
{
    touch("b.jpg");
    touch("a.jpg");
    touch("caf\xE9.jpg");
    TFileListBoxWidget widget;
    show(widget, "*.jpg");
    ASSERT_EQ(widget.model()->rowCount(), 3);
    EXPECT_EQ(widget.model()->index(0, 0).data().toString(), "a.jpg");
    EXPECT_EQ(widget.model()->index(2, 0).data().toString(), QString::fromUtf8("caf\uFFFD.jpg"));
    EXPECT_EQ(widget.visualRect(widget.model()->index(0, 0)).height(), widget.fontMetrics().height());
}

TEST_F(FileListBoxWidgetTest, ClicksAndArrowKeysSelectWithoutLoading)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        touch(name);
    TFileListBoxWidget widget;
    show(widget, "*.jpg");
    QSignalSpy doubleClicks(&widget, &TFileListBoxWidget::listDoubleClicked);

    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, centreOf(widget, 1));
    EXPECT_EQ(widget.list().SelectedIndex(), 1);
    EXPECT_EQ(doubleClicks.count(), 0);
    widget.setFocus();
    QTest::keyClick(&widget, Qt::Key_Down);
    EXPECT_EQ(widget.list().SelectedName(), "c.jpg");
    QTest::keyClick(&widget, Qt::Key_Up);
    QTest::keyClick(&widget, Qt::Key_Up);
    EXPECT_EQ(widget.list().SelectedName(), "a.jpg");

    QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, centreOf(widget, 2));
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(widget.list().SelectedName(), "c.jpg");
}

TEST_F(FileListBoxWidgetTest, TheViewFollowsTheListsSelection)
{
    touch("a.jpg");
    touch("b.jpg");
    TFileListBoxWidget widget;
    show(widget, "*.jpg");
    widget.list().PointAtPath(root_ + "/b.jpg");
    EXPECT_EQ(widget.currentIndex().row(), 1);
    EXPECT_TRUE(widget.selectionModel()->isRowSelected(1, {}));
    widget.list().setSelectedIndex(-1);
    EXPECT_FALSE(widget.selectionModel()->hasSelection());
    // A new reading leaves no line selected on screen either.
    widget.list().setSelectedIndex(0);
    widget.list().setMask("*");
    EXPECT_FALSE(widget.selectionModel()->hasSelection());
}

// The highlight and SelectedIndex agree whatever the user clicks or types: a
// click below the lines and Ctrl with the selected line change neither.
TEST_F(FileListBoxWidgetTest, TheHighlightIsAlwaysTheSelectedLine)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        touch(name);
    TFileListBoxWidget widget;
    show(widget, "*.jpg");
    const auto highlighted = [&widget] {
        const QModelIndexList rows = widget.selectionModel()->selectedIndexes();
        return rows.isEmpty() ? -1 : rows.front().row();
    };
    const QPoint below(10, widget.viewport()->height() - 5);
    ASSERT_FALSE(widget.indexAt(below).isValid());

    // Nothing selected: a click below the lines selects nothing.
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(widget.list().SelectedIndex(), -1);
    EXPECT_EQ(highlighted(), -1);

    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, centreOf(widget, 1));
    for (const auto& [modifiers, at] : {std::pair{Qt::KeyboardModifiers{}, below},
                                        std::pair{Qt::KeyboardModifiers{Qt::ControlModifier}, below},
                                        std::pair{Qt::KeyboardModifiers{Qt::ControlModifier}, centreOf(widget, 1)}}) {
        QTest::mouseClick(widget.viewport(), Qt::LeftButton, modifiers, at);
        EXPECT_EQ(widget.list().SelectedIndex(), 1);
        EXPECT_EQ(highlighted(), 1);
    }
    QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, below);
    widget.setFocus();
    QTest::keyClick(&widget, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(widget.list().SelectedIndex(), 1);
    EXPECT_EQ(highlighted(), 1);
    QTest::keyClick(&widget, Qt::Key_Down);
    EXPECT_EQ(widget.list().SelectedIndex(), 2);
    EXPECT_EQ(highlighted(), 2);
}

TEST_F(FileListBoxWidgetTest, BusyCursorWhileABigFolderIsShown)
{
    for (int i = 0; i < 101; ++i)
        touch("p" + std::to_string(i) + ".jpg");
    TFileListBoxWidget widget;
    show(widget, "*.png");
    bool busyWhileFilled = false;
    QObject::connect(widget.model(), &QAbstractItemModel::modelAboutToBeReset, [&] {
        busyWhileFilled = QGuiApplication::overrideCursor() != nullptr &&
                          QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    widget.list().setMask("p?.jpg;p??.jpg"); // 100 lines
    EXPECT_FALSE(busyWhileFilled);
    widget.list().setMask("*.jpg");
    EXPECT_TRUE(busyWhileFilled);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
