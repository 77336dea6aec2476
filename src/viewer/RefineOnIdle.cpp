#include "viewer/RefineOnIdle.h"

#include "imaging/ZoomOut.h"
#include "platform/StartTimeline.h"
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"

#include <QAbstractEventDispatcher>

namespace tavo {

RefineOnIdle::RefineOnIdle(TfrmTavo2MainForm& form) : QObject(&form), form_(form)
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(form.thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &RefineOnIdle::run);
}

void RefineOnIdle::run()
{
    if (running_)
        return;
    running_ = true;
    try {
        refine();
    } catch (const EShrinkRefused& refused) {
        rememberFailure();
        // A view that no reduction fits (a side of 0 pixels) keeps its quick
        // view: refinement is a nicety and never interrupts the user for it.
        if (refused.reason() != EShrinkRefused::Reason::EmptyTarget)
            reportCurrentException();
    } catch (...) {
        rememberFailure();
        reportCurrentException();
    }
    running_ = false;
}

// Remembered before any report, whose message box runs an event loop of its own.
void RefineOnIdle::rememberFailure()
{
    failedPicture_ = form_.displayPicture();
    failedWidth_ = form_.imgImgArea->width();
}

bool RefineOnIdle::failedBefore() const
{
    return failedWidth_ == form_.imgImgArea->width() && failedPicture_.sharesPixelsWith(form_.displayPicture());
}

void RefineOnIdle::refine()
{
    // Any other view lets go of the failed picture's pixels.
    if (failedWidth_ >= 0 && !failedBefore()) {
        failedPicture_ = Bitmap();
        failedWidth_ = -1;
    }
    if (form_.blnCleared || !form_.blnUseClear)
        return;
    const Bitmap& display = form_.displayPicture();
    const std::int32_t controlWidth = form_.imgImgArea->width();
    if (controlWidth >= display.width() || failedWidth_ >= 0)
        return;

    form_.bmpSource = display;
    const double ratio = static_cast<double>(controlWidth) / form_.bmpSource.width();
    platform::markStartPhase("refine");
    Bitmap reduced = form_.bmpSource;
    ShrinkBitmap(reduced, ratio);
    platform::markStartPhase("refined");
    form_.imgImgArea->setPicture(reduced);
    form_.blnCleared = true;
}

} // namespace tavo
