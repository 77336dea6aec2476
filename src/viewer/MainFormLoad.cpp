// The one load operation.
#include "viewer/MainForm.h"

#include "app/PictureFile.h"
#include "app/PicturePrefetch.h"
#include "platform/Errors.h"
#include "platform/StartTimeline.h"
#include "platform/UserFolders.h"

#include <QToolButton>

namespace tavo {

void TfrmTavo2MainForm::LoadCurFile()
{
    // The reduced copy goes with the display picture: after a failed load there
    // is nothing for RestoreSource to put back over the empty work area.
    imgImgArea->clearPicture();
    blnCleared = false;
    // With blnCleared false and the display picture empty, nothing can show
    // the previous full-size copy after a failed load either; letting it go
    // now lets the decoder take its memory instead of a second picture's worth
    // of fresh pages, which a virtual machine in particular supplies slowly.
    bmpSource = Bitmap();

    // A FIFO or a device handed over, dropped or named on the command line
    // would block the window in its open or read; it fails like a missing file.
    if (platform::isSpecialFile(strCurFile))
        throw EFOpenError(strCurFile);

    // The decoder's temporaries live and die inside the call; an error leaves
    // dblAspect, dblZoom, the bounds and the caption as they were.
    // The first load may find its picture (or its error) decoded already.
    platform::markStartPhase("decode");
    std::optional<Bitmap> ready;
    if (const std::unique_ptr<PicturePrefetch> ahead = std::move(prefetch))
        ready = ahead->take(strCurFile);
    const Bitmap decoded = ready ? std::move(*ready) : decodePictureFile(strCurFile);
    platform::markStartPhase("decoded");

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
    platform::markStartPhase("loaded");
}

} // namespace tavo
