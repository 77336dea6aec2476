#include "viewer/MainFormHandOver.h"

#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"

namespace tavo {

void comeForward(TfrmTavo2MainForm& form)
{
    // Restored before the load, so a zoom mode measures the real work area.
    if (form.isMinimized())
        form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
    form.show();
    form.raise();
    form.activateWindow();
}

void receiveHandOver(TfrmTavo2MainForm& form, platform::ReceivedHandOver request) noexcept
{
    guarded([&form, &request] {
        // Released when this body ends, also by an exception: the reply goes out
        // before the error report shows.
        const platform::ReceivedHandOver held = std::move(request);
        comeForward(form);
        if (held.kind() == platform::HandOverKind::kOpenFile) {
            form.strCurFile = held.path();
            form.LoadCurFile();
        }
    });
}

} // namespace tavo
