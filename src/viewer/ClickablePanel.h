// A plain panel that reports a left-button click (press and release on it).
#pragma once

#include <QFrame>

namespace tavo {

class ClickablePanel : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace tavo
