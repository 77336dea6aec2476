#include "viewer/ClickablePanel.h"

#include <QMouseEvent>

namespace tavo {

void ClickablePanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

} // namespace tavo
