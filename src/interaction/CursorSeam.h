// The pointer's screen position, read and set through one seam so that tests
// can drive the gestures without a real pointer.
#pragma once

#include <QPoint>

namespace tavo {

class CursorSeam {
public:
    virtual ~CursorSeam() = default;
    virtual QPoint pos() const;
    virtual void setPos(const QPoint& position);
};

} // namespace tavo
