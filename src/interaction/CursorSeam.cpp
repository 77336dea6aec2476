#include "interaction/CursorSeam.h"

#include <QCursor>

namespace tavo {

QPoint CursorSeam::pos() const { return QCursor::pos(); }

void CursorSeam::setPos(const QPoint& position) { QCursor::setPos(position); }

} // namespace tavo
