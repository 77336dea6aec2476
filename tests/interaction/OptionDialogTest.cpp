#include "interaction/OptionDialog.h"
#include "interaction/OptionDialogParts.h"
#include "viewer/WorkAreaColor.h"
#include "ViewerTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tavo;

namespace {

OptionValues sampleValues()
{
    OptionValues v;
    v.intMoveRatio = 3;
    v.intFLBoxShowX = 40;
    v.workAreaColor = clBtnFace;
    v.blnUseClear = true;
    v.strExTools = {"/usr/bin/a", "", " spaced "};
    return v;
}

} // namespace

TEST(OptionDialog, OkWithoutChangesGivesTheSameValuesBroughtIntoRange)
{
    test::ensureApplication();
    TdlgOption dialog;
    OptionValues v = sampleValues();
    v.intMoveRatio = 15;
    v.intFLBoxShowX = 5;
    dialog.FormShow(v);
    OptionValues back = v;
    dialog.OKBtnClick(back);
    EXPECT_EQ(back.intMoveRatio, 10);
    EXPECT_EQ(back.intFLBoxShowX, 10);
    EXPECT_EQ(back.workAreaColor, clBtnFace);
    EXPECT_TRUE(back.blnUseClear);
    EXPECT_EQ(back.strExTools, v.strExTools); // no trimming
}

TEST(OptionDialog, SpinBoxesStepWithinTheirRangeAndRefuseTyping)
{
    test::ensureApplication();
    TdlgOption dialog;
    OptionValues v = sampleValues();
    v.intFLBoxShowX = 35;
    dialog.FormShow(v);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        dialog.speFLBShowPixel->stepBy(1);
        seen.push_back(dialog.speFLBShowPixel->value());
    }
    EXPECT_EQ(seen, (std::vector<int>{45, 55, 65, 75, 85, 95, 100, 100}));
    dialog.speMoveRatio->setValue(4);
    QTest::keyClicks(dialog.speMoveRatio, "7");
    EXPECT_EQ(dialog.speMoveRatio->value(), 4);
    QTest::keyClick(dialog.speMoveRatio, Qt::Key_Up);
    EXPECT_EQ(dialog.speMoveRatio->value(), 5);
}

TEST(OptionDialog, CancelCopiesNothingBackAndTheNextOpeningShowsTheViewerState)
{
    test::ensureApplication();
    TdlgOption dialog;
    dialog.chooseColor = [](const QColor&) { return std::optional<QColor>(QColor(255, 0, 0)); };
    OptionValues v = sampleValues();
    QTimer::singleShot(0, &dialog, [&] {
        dialog.pnlColorClick();
        EXPECT_EQ(dialog.pnlColor->colorValue(), 0x0000FFu);
        dialog.edtExTools[0]->setText("changed");
        dialog.CancelBtn->click();
    });
    EXPECT_FALSE(dialog.edit(v));
    EXPECT_EQ(v.workAreaColor, clBtnFace);
    EXPECT_EQ(v.strExTools[0], "/usr/bin/a");
    dialog.FormShow(v);
    EXPECT_EQ(dialog.pnlColor->colorValue(), clBtnFace);
}

TEST(OptionDialog, OkCopiesTheEditedValues)
{
    test::ensureApplication();
    TdlgOption dialog;
    QColor initialSeen;
    dialog.chooseColor = [&](const QColor& initial) {
        initialSeen = initial;
        return std::optional<QColor>(QColor(1, 2, 3));
    };
    OptionValues v = sampleValues();
    QTimer::singleShot(0, &dialog, [&] {
        dialog.pnlColorClick();
        dialog.edtExTools[2]->clear();
        dialog.ckbUseClear->setChecked(false);
        dialog.OKBtn->click();
    });
    EXPECT_TRUE(dialog.edit(v));
    // The colour dialog starts from the colour last chosen in it: black at first.
    EXPECT_EQ(initialSeen, QColor(Qt::black));
    EXPECT_EQ(v.workAreaColor, 0x030201u);
    EXPECT_FALSE(v.blnUseClear);
    EXPECT_EQ(v.strExTools[2], "");
    dialog.pnlColorClick();
    EXPECT_EQ(initialSeen, QColor(1, 2, 3));
}

TEST(OptionDialog, EachBrowseButtonFillsItsOwnRow)
{
    test::ensureApplication();
    TdlgOption dialog;
    dialog.FormShow(sampleValues());
    dialog.chooseFile = [](QWidget*) { return std::optional<QString>(QStringLiteral("/opt/tool")); };
    dialog.btnExTLSelects[1]->click();
    EXPECT_EQ(dialog.edtExTools[0]->text(), "/usr/bin/a");
    EXPECT_EQ(dialog.edtExTools[1]->text(), "/opt/tool");
    EXPECT_EQ(dialog.edtExTools[2]->text(), " spaced ");
    dialog.chooseFile = [](QWidget*) { return std::optional<QString>(); };
    dialog.btnExTLSelects[2]->click();
    EXPECT_EQ(dialog.edtExTools[2]->text(), " spaced ");
}

TEST(OptionDialog, ReopensOnTheLastPageWithItsTexts)
{
    test::ensureApplication();
    TdlgOption dialog;
    EXPECT_EQ(dialog.windowTitle(), "オプション");
    EXPECT_EQ(dialog.size(), QSize(488, 373));
    EXPECT_EQ(dialog.pgcConfig->tabText(0), "基本設定");
    EXPECT_EQ(dialog.pgcConfig->tabText(1), "外部ツール設定");
    EXPECT_EQ(dialog.CancelBtn->text(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(dialog.pgcConfig->currentIndex(), 0);
    OptionValues v = sampleValues();
    QTimer::singleShot(0, &dialog, [&] {
        dialog.pgcConfig->setCurrentIndex(1);
        dialog.CancelBtn->click();
    });
    dialog.edit(v);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.pgcConfig->currentIndex(), 1);
        dialog.CancelBtn->click();
    });
    dialog.edit(v);
}

// The caption fits between the square's borders, in the dialog's 12-pixel
// Gothic where it fits and smaller where that font is wider than the square.
TEST(OptionDialog, TheColourSquareShowsItsWholeCaption)
{
    test::ensureApplication();
    TdlgOption dialog;
    const ColorSquare& square = *dialog.pnlColor;
    EXPECT_EQ(square.size(), QSize(49, 41));
    const QFont caption = square.captionFont();
    EXPECT_LE(QFontMetrics(caption).horizontalAdvance("pnlColor"), square.contentsRect().width());
    EXPECT_EQ(caption.family(), square.font().family());
    EXPECT_LE(QFontInfo(caption).pixelSize(), 12);
    EXPECT_GE(QFontInfo(caption).pixelSize(), 7);
}

TEST(WorkAreaColors, PlainAndSystemValues)
{
    test::ensureApplication();
    EXPECT_EQ(drawnColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(drawnColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(drawnColor(clBtnFace), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(colorValueOf(QColor(0x12, 0x34, 0x56)), 0x563412u);
}
