// A hand-over from a second copy, received by the main window: it comes
// forward (restored when minimised) and opens the file it was given.
#pragma once

#include "platform/HandOverServer.h"

namespace tavo {

class TfrmTavo2MainForm;

// Raises and activates the window, restoring it first when it is minimised.
void comeForward(TfrmTavo2MainForm& form);

// Handles one request. A failed load is reported by the error report; the
// second copy gets its reply before the report appears and learns nothing.
void receiveHandOver(TfrmTavo2MainForm& form, platform::ReceivedHandOver request) noexcept;

} // namespace tavo
