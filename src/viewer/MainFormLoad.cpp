// The one load operation.
#include "viewer/MainForm.h"

#include "app/PictureFile.h"

#include <QToolButton>

namespace tavo {

void TfrmTavo2MainForm::LoadCurFile()
{
    // The reduced copy goes with the display picture: after a failed load there
    // is nothing for RestoreSource to put back over the empty work area.
    imgImgArea->clearPicture();
    blnCleared = false;

    // The decoder's temporaries live and die inside the call; an error leaves
    // bmpSource, dblAspect, dblZoom, the bounds and the caption as they were.
    const Bitmap decoded = decodePictureFile(strCurFile);

    imgImgArea->setPicture(decoded);
    bmpSource = decoded;  // shares the pixels with the display picture
    // A picture of no width has no aspect; the previous one stays.
    if (decoded.width() != 0)
        dblAspect = static_cast<double>(decoded.height()) / decoded.width();

    if (spbWindowWidth->isChecked())
        spbWindowWidthClick();
    if (spbFull->isChecked())
        spbFullClick();
    if (spbNoZoom->isChecked())
        spbNoZoomClick();
    UpdateTitle();

    synchroniseFileList();

    spdNext->setEnabled(true);
    spdPrev->setEnabled(true);
}

// The file list arrives with the folder listing; until then there is nothing
// to point at the loaded file.
void TfrmTavo2MainForm::synchroniseFileList() {}

} // namespace tavo
