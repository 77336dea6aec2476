// Navigation through the folder: next, previous, the list's double click, and
// the file list kept on the current picture's folder and line after a load.
#include "viewer/MainForm.h"

#include "imaging/FileListNavigation.h"
#include "imaging/PathParts.h"
#include "viewer/ErrorReport.h"
#include "viewer/FileListBoxWidget.h"

#include <QToolButton>

namespace tavo {

void TfrmTavo2MainForm::buildFileList(QWidget* parent)
{
    flbImgFileList = new TFileListBoxWidget(parent);
    flbImgFileList->setObjectName(QStringLiteral("flbImgFileList"));
    flbImgFileList->hide();
    // Errors of the loads stay inside our handlers, never crossing Qt's frames.
    connect(flbImgFileList, &TFileListBoxWidget::listDoubleClicked, this,
            [this] { guarded([this] { flbImgFileListDblClick(); }); });
    connect(spdNext, &QToolButton::clicked, this, [this] { guarded([this] { spdNextClick(); }); });
    connect(spdPrev, &QToolButton::clicked, this, [this] { guarded([this] { spdPrevClick(); }); });
}

// The selection moves before the load, so that a file that fails to decode
// keeps its line and the next step goes on past it.
void TfrmTavo2MainForm::spdNextClick()
{
    TFileListBox& list = flbImgFileList->list();
    if (!selectNextLine(list))
        return;
    strCurFile = list.SelectedPath();
    LoadCurFile();
}

void TfrmTavo2MainForm::spdPrevClick()
{
    TFileListBox& list = flbImgFileList->list();
    if (!selectPreviousLine(list))
        return;
    strCurFile = list.SelectedPath();
    LoadCurFile();
}

// A double click with no line selected has nothing to load and does nothing:
// loading the empty path would only report a failed decode and blank the view.
void TfrmTavo2MainForm::flbImgFileListDblClick()
{
    const std::string path = flbImgFileList->list().SelectedPath();
    if (path.empty())
        return;
    strCurFile = path;
    LoadCurFile();
}

void TfrmTavo2MainForm::synchroniseFileList()
{
    TFileListBox& list = flbImgFileList->list();
    const std::string folder = folderPart(strCurFile);
    if (upperCaseAscii(folder) != upperCaseAscii(strCurDir)) {
        strCurDir = folder;
        list.PointAtPath(strCurDir);
    }
    list.setFileType({TFileAttr::ftNormal});
    list.setMask("*" + extensionPart(strCurFile));
    list.PointAtPath(strCurFile);
}

} // namespace tavo
