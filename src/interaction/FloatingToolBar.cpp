#include "interaction/FloatingToolBar.h"

#include <QToolBar>

namespace tavo {

void floatToolBar(QToolBar* toolBar)
{
    if (toolBar->isFloating())
        return;
    // The window flags of a toolbar the user has dropped off its dock; the
    // main window's layout keeps it, so it can be docked again. No bypass of
    // the window manager: that is only for the drag itself, and a window that
    // keeps it stays above every program's windows and on every desktop. The
    // toolbar never takes the focus, so a click on it leaves the keys with
    // the main window.
    const QSize size = toolBar->sizeHint();
    toolBar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    toolBar->resize(size);
}

} // namespace tavo
