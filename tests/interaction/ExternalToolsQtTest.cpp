#include "ViewerTestSupport.h"

#include "interaction/OptionDialog.h"
#include "interaction/ToolIcons.h"
#include "platform/ProcessStart.h"
#include "viewer/MainForm.h"
#include "viewer/WorkAreaColor.h"

#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace tavo {
namespace {

namespace fs = std::filesystem;

bool isBlank(const QIcon& icon)
{
    if (icon.isNull())
        return true;
    const QImage image = icon.pixmap(kToolGlyphSize, kToolGlyphSize).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

class ExternalToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureApplication();
        ASSERT_TRUE(dir.isValid());
        form = std::make_unique<TfrmTavo2MainForm>();
        form->show();
        root = dir.path().toStdString();
        script = root + "/record tool.sh";
        output = root + "/args.txt";
        std::ofstream s(script);
        s << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"" << output << ".tmp\"\n"
          << "mv \"" << output << ".tmp\" \"" << output << "\"\n";
        s.close();
        fs::permissions(script, fs::perms::owner_all);
    }

    std::string recordedArguments()
    {
        for (int i = 0; i < 300 && !fs::exists(output); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string text = platform::readSmallTextFile(output);
        fs::remove(output);
        return text;
    }

    QTemporaryDir dir;
    std::unique_ptr<TfrmTavo2MainForm> form;
    std::string root, script, output;
};

TEST_F(ExternalToolsTest, TheToolGetsThePictureAsOneUnchangedArgument)
{
    const std::string picture = test::writePicture(dir, "a \"b\" $(c).bmp", test::patternPicture(8, 8));
    form->strCurFile = picture;
    form->LoadCurFile();
    form->strExTool2 = script;
    form->spbExTool2->click();
    EXPECT_EQ(recordedArguments(), "[" + picture + "]\n");
    // The tool is not the viewer's child: nothing is left to reap, no zombie.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(ExternalToolsTest, BeforeAnyLoadTheArgumentIsEmptyAndAnEmptyPathDoesNothing)
{
    form->strExTool1 = script;
    form->spbExTool1->click();
    EXPECT_EQ(recordedArguments(), "[]\n");
    form->strExTool1.clear();
    form->spbExTool1->click();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ExternalToolsTest, GlyphsFollowThePathsAfterTheDialog)
{
    // A picture file as the tool shows that picture; a missing file a blank glyph.
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const std::string iconTool = root + "/tool.png";
    ASSERT_TRUE(red.save(QString::fromStdString(iconTool)));
    form->strExTool1 = root + "/missing-tool";
    form->strExTool3 = iconTool;
    form->UpdateToolIcons();
    EXPECT_TRUE(isBlank(form->spbExTool1->icon()));
    EXPECT_TRUE(form->spbExTool2->icon().isNull()) << "no tool, no glyph";
    EXPECT_FALSE(form->spbExTool1->icon().isNull()) << "a tool without an icon has a blank glyph";
    EXPECT_FALSE(isBlank(form->spbExTool3->icon()));
    const QImage glyph = form->spbExTool3->icon().pixmap(kToolGlyphSize, kToolGlyphSize).toImage();
    EXPECT_EQ(glyph.size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(glyph.pixel(19, 19)), 0) << "the icon fills the upper-left 19 × 19 only";
    // On screen the button draws the glyph at its 20 × 20, not at the toolbar's icon size.
    const QImage shown = form->spbExTool3->grab().toImage();
    int redPixels = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            redPixels += qRed(shown.pixel(x, y)) > 200 && qGreen(shown.pixel(x, y)) < 60 ? 1 : 0;
    EXPECT_GE(redPixels, 18 * 19);
    EXPECT_LE(redPixels, 19 * 19);

    // Clearing the third tool in the dialog removes its glyph as soon as it closes.
    QTimer::singleShot(0, form.get(), [this] {
        form->dlgOption->edtExTools[2]->clear();
        form->dlgOption->OKBtn->click();
    });
    form->spbConfigClick();
    EXPECT_EQ(form->strExTool3, "");
    EXPECT_TRUE(isBlank(form->spbExTool3->icon()));
    // A click with the missing tool goes nowhere and reports nothing.
    test::CollectedReports reports;
    form->spbExTool1->click();
    EXPECT_TRUE(reports.texts.isEmpty());
}

TEST_F(ExternalToolsTest, AMissingToolHasABlankGlyphEvenWhenTheThemeKnowsItsName)
{
    const std::string themeFolder = root + "/icons/probe";
    fs::create_directories(themeFolder + "/32x32/apps");
    std::ofstream(themeFolder + "/index.theme")
        << "[Icon Theme]\nName=probe\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\nType=Fixed\n";
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString(themeFolder + "/32x32/apps/mytool.png")));
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({QString::fromStdString(root + "/icons")});
    QIcon::setThemeName(QStringLiteral("probe"));

    fs::copy_file(script, root + "/mytool");
    form->strExTool1 = root + "/gone/mytool";
    form->strExTool2 = root + "/mytool";
    form->UpdateToolIcons();
    const bool missingBlank = isBlank(form->spbExTool1->icon());
    const bool presentBlank = isBlank(form->spbExTool2->icon());

    QIcon::setThemeName(themeName);
    QIcon::setThemeSearchPaths(searchPaths);
    EXPECT_TRUE(missingBlank);
    EXPECT_FALSE(presentBlank) << "an existing tool takes the theme's icon of its name";
}

TEST_F(ExternalToolsTest, OkKeepsAnUnchangedToolPathByteForByte)
{
    form->strExTool1 = root + "/caf\xE9 tool";
    form->strExTool2 = "old";
    QTimer::singleShot(0, form.get(), [this] {
        form->dlgOption->edtExTools[1]->setText(QStringLiteral("/usr/bin/写真"));
        form->dlgOption->OKBtn->click();
    });
    form->spbConfigClick();
    EXPECT_EQ(form->strExTool1, root + "/caf\xE9 tool");
    EXPECT_EQ(form->strExTool2, "/usr/bin/写真");
}

TEST_F(ExternalToolsTest, CancelKeepsThePathsAndStillRebuildsTheGlyphs)
{
    form->strExTool2 = script;
    QTimer::singleShot(0, form.get(), [this] {
        form->dlgOption->edtExTools[1]->setText("/elsewhere");
        form->dlgOption->CancelBtn->click();
    });
    form->spbConfigClick();
    EXPECT_EQ(form->strExTool2, script);
}

TEST_F(ExternalToolsTest, OkAppliesTheWorkAreaColourAtOnce)
{
    QTimer::singleShot(0, form.get(), [this] {
        form->dlgOption->chooseColor = [](const QColor&) { return std::optional<QColor>(QColor(255, 0, 0)); };
        form->dlgOption->pnlColorClick();
        form->dlgOption->speMoveRatio->setValue(7);
        form->dlgOption->OKBtn->click();
    });
    form->spbConfigClick();
    EXPECT_EQ(workAreaColor(form->pnlWkArea), 0x0000FFu);
    EXPECT_EQ(form->pnlWkArea->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(form->intMoveRatio, 7);
}

} // namespace
} // namespace tavo
