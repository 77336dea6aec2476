#include "interaction/FloatingToolBar.h"

#include <QToolBar>

namespace tavo {

void floatToolBar(QToolBar* toolBar)
{
    if (toolBar->isFloating())
        return;
    // The same window flags the toolbar takes when the user drags it off its
    // dock; the main window's layout keeps it, so it can be docked again.
    const QSize size = toolBar->sizeHint();
    toolBar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    toolBar->resize(size);
}

} // namespace tavo
