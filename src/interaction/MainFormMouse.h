// The mouse handlers of the main window: pressing, moving and releasing over the
// picture or the empty work area beside it, and double-clicking the picture.
// Installed as an event filter on imgImgArea and pnlWkArea.
#pragma once

#include "interaction/CursorSeam.h"

#include <QObject>

#include <cstdint>
#include <memory>

class QMouseEvent;

namespace tavo {

class TfrmTavo2MainForm;

class MainFormMouse : public QObject {
public:
    explicit MainFormMouse(TfrmTavo2MainForm& form);

    void setCursorSeam(std::unique_ptr<CursorSeam> seam) { cursor_ = std::move(seam); }
    CursorSeam& cursor() { return *cursor_; }

    void imgImgAreaMouseDown(Qt::MouseButton button, std::int32_t x, std::int32_t y);
    void imgImgAreaMouseMove();
    void imgImgAreaMouseUp(Qt::MouseButton button);
    void imgImgAreaDblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Part A of a movement; false when it ends the handler before the title.
    bool zoomDragMove();
    void moveDragMove();
    void revealToolBox();

    TfrmTavo2MainForm& form_;
    std::unique_ptr<CursorSeam> cursor_;
};

} // namespace tavo
