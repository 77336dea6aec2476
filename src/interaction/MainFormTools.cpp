// The external-tool buttons and the options dialog of the main window.
#include "viewer/MainForm.h"

#include "interaction/ExternalToolStart.h"
#include "interaction/OptionDialog.h"
#include "interaction/ToolIcons.h"
#include "viewer/WorkAreaColor.h"

#include <QFrame>
#include <QToolButton>

namespace tavo {

void TfrmTavo2MainForm::spbExToolClick(QToolButton* sender)
{
    const std::string* tool = sender == spbExTool1 ? &strExTool1
        : sender == spbExTool2                      ? &strExTool2
        : sender == spbExTool3                      ? &strExTool3
                                                    : nullptr;
    if (!tool || tool->empty())
        return;
    // Whether the tool started is not examined: the viewer reports nothing.
    startExternalTool(*tool, strCurFile);
}

void TfrmTavo2MainForm::UpdateToolIcons()
{
    const std::pair<QToolButton*, const std::string*> tools[] = {
        {spbExTool1, &strExTool1}, {spbExTool2, &strExTool2}, {spbExTool3, &strExTool3}};
    // Every glyph is cleared; a configured tool gets its 20 × 20 glyph, blank
    // when the tool has no icon.
    for (const auto& [button, path] : tools) {
        button->setIconSize(QSize(kToolGlyphSize, kToolGlyphSize));
        button->setIcon(path->empty() ? QIcon() : QIcon(toolGlyph(QString::fromStdString(*path))));
    }
}

void TfrmTavo2MainForm::createOptionDialog()
{
    if (!dlgOption)
        dlgOption = new TdlgOption(this);
}

void TfrmTavo2MainForm::spbConfigClick()
{
    if (!dlgOption)
        createOptionDialog();
    OptionValues values;
    values.intMoveRatio = intMoveRatio;
    values.intFLBoxShowX = intFLBoxShowX;
    values.workAreaColor = workAreaColor(pnlWkArea);
    values.blnUseClear = blnUseClear;
    values.strExTools = {QString::fromStdString(strExTool1), QString::fromStdString(strExTool2),
                         QString::fromStdString(strExTool3)};
    const auto shownTools = values.strExTools;
    if (dlgOption->edit(values)) {
        intMoveRatio = values.intMoveRatio;
        intFLBoxShowX = values.intFLBoxShowX;
        setWorkAreaColor(pnlWkArea, values.workAreaColor);
        pnlWkArea->update();
        blnUseClear = values.blnUseClear;
        // A text left as it was keeps its bytes: a path that is not UTF-8
        // would not survive the trip through the edit box.
        std::string* const tools[] = {&strExTool1, &strExTool2, &strExTool3};
        for (std::size_t i = 0; i < 3; ++i)
            if (values.strExTools[i] != shownTools[i])
                *tools[i] = values.strExTools[i].toStdString();
    }
    UpdateToolIcons();
}

} // namespace tavo
