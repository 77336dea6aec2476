#include "ViewerTestSupport.h"

#include "app/SettingsLocation.h"
#include "interaction/OptionDialog.h"
#include "viewer/MainForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

TEST(SettingsAtClose, WhatTheDialogChangedReachesTheSettingsFileAtClose)
{
    test::ensureApplication();
    QTemporaryDir dir;
    const std::string ini = dir.filePath("TavoTavo.INI").toStdString();
    overrideSettingsFilePath(ini);
    {
        TfrmTavo2MainForm form;
        form.show();
        QTimer::singleShot(0, &form, [&form] {
            form.dlgOption->speFLBShowPixel->setValue(50);
            form.dlgOption->speMoveRatio->setValue(4);
            form.dlgOption->ckbUseClear->setChecked(true);
            form.dlgOption->edtExTools[1]->setText("/opt/tool two");
            form.dlgOption->OKBtn->click();
        });
        form.spbConfigClick();
        form.close();
    }
    std::ifstream in(ini);
    std::stringstream text;
    text << in.rdbuf();
    const std::string written = text.str();
    EXPECT_NE(written.find("FLBoxShowX=50"), std::string::npos) << written;
    EXPECT_NE(written.find("Move=4"), std::string::npos) << written;
    EXPECT_NE(written.find("UseClear=1"), std::string::npos) << written;
    EXPECT_NE(written.find("ExTool2=/opt/tool two"), std::string::npos) << written;

    // The next start uses them.
    TfrmTavo2MainForm next;
    EXPECT_EQ(next.intFLBoxShowX, 50);
    EXPECT_EQ(next.intMoveRatio, 4);
    EXPECT_TRUE(next.blnUseClear);
    EXPECT_EQ(next.strExTool2, "/opt/tool two");
}

} // namespace
} // namespace tavo
