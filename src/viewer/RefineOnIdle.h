// The idle hook of the main window: when refinement is on and the picture is
// shown narrower than its full size, the first idle moment replaces the quick
// stretched view by the area-averaged reduction to the control's size, keeping
// the full-size picture in bmpSource.
#pragma once

#include "imaging/Bitmap.h"

#include <QObject>

#include <cstdint>

namespace tavo {

class TfrmTavo2MainForm;

class RefineOnIdle : public QObject {
    Q_OBJECT
public:
    // Installs itself on the event dispatcher's aboutToBlock (the moment the
    // queue has become empty); a child of the form, it goes with it.
    explicit RefineOnIdle(TfrmTavo2MainForm& form);

    // One idle moment. Never throws: a failure is reported once and that view
    // is not tried again, so the report cannot repeat without end. A view too
    // small for any reduction is left as it is, without a report.
    void run();

private:
    void refine();
    void rememberFailure();
    bool failedBefore() const;

    TfrmTavo2MainForm& form_;
    // A message box's own event loop also becomes idle; the hook must not run inside itself.
    bool running_ = false;
    // The view whose refinement failed: its display picture and control width.
    Bitmap failedPicture_;
    std::int32_t failedWidth_ = -1;
};

} // namespace tavo
