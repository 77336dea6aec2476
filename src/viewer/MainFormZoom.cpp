// The zoom commands and the two steps every one of them takes: RestoreSource
// first, UpdateTitle last.
#include "viewer/MainForm.h"

#include "viewer/core/TitleLine.h"
#include "viewer/core/WindowCaption.h"

#include <QAction>
#include <QFrame>

namespace tavo {

void TfrmTavo2MainForm::RestoreSource()
{
    if (!blnCleared)
        return;
    imgImgArea->setPicture(bmpSource);
    blnCleared = false;
}

void TfrmTavo2MainForm::UpdateTitle()
{
    const Bitmap& picture = displayPicture();
    setWindowTitle(QString::fromStdString(
        captionForToolkit(titleLine(strCurFile, picture.width(), picture.height(), dblZoom))));
}

ZoomInput TfrmTavo2MainForm::zoomInput() const
{
    return {{pnlWkArea->width(), pnlWkArea->height()},
            {displayPicture().width(), displayPicture().height()},
            dblAspect,
            {imageBounds(), dblZoom}};
}

void TfrmTavo2MainForm::applyZoom(const ZoomView& view)
{
    setImageBounds(view.bounds);
    dblZoom = view.zoom;
}

void TfrmTavo2MainForm::spbWindowWidthClick()
{
    RestoreSource();
    applyZoom(fitWidth(zoomInput()));
    UpdateTitle();
}

void TfrmTavo2MainForm::spbFullClick()
{
    RestoreSource();
    applyZoom(fitWhole(zoomInput()));
    UpdateTitle();
}

void TfrmTavo2MainForm::spbNoZoomClick()
{
    RestoreSource();
    applyZoom(originalSize(zoomInput()));
    UpdateTitle();
}

void TfrmTavo2MainForm::psiDirectZoom(QAction* sender)
{
    RestoreSource();
    applyZoom(fixedRatio(zoomInput(), sender->data().toInt()));
    UpdateTitle();
}

} // namespace tavo
