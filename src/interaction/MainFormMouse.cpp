#include "interaction/MainFormMouse.h"

#include "interaction/FloatingToolBar.h"
#include "interaction/core/MouseGestures.h"
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"

#include <QContextMenuEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QToolBar>

namespace tavo {

MainFormMouse::MainFormMouse(TfrmTavo2MainForm& form)
    : QObject(&form), form_(form), cursor_(std::make_unique<CursorSeam>())
{
    for (QWidget* control : {static_cast<QWidget*>(form_.imgImgArea), static_cast<QWidget*>(form_.pnlWkArea)}) {
        control->setMouseTracking(true);
        // The right button is the zoom drag's: no context menu.
        control->setContextMenuPolicy(Qt::PreventContextMenu);
        control->installEventFilter(this);
    }
}

bool MainFormMouse::eventFilter(QObject* watched, QEvent* event)
{
    const bool onPicture = watched == form_.imgImgArea;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        guarded([&] { imgImgAreaMouseDown(mouse->button(), at.x(), at.y()); });
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        // The toolkit turns the second press of a double-click into this event:
        // the double-click handler runs, then the press, as on the original.
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        guarded([&] {
            if (onPicture && mouse->button() == Qt::LeftButton)
                imgImgAreaDblClick();
            imgImgAreaMouseDown(mouse->button(), at.x(), at.y());
        });
        return true;
    }
    case QEvent::MouseMove:
        guarded([&] { imgImgAreaMouseMove(); });
        return true;
    case QEvent::MouseButtonRelease:
        guarded([&] { imgImgAreaMouseUp(static_cast<QMouseEvent*>(event)->button()); });
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

void MainFormMouse::imgImgAreaMouseDown(Qt::MouseButton button, std::int32_t x, std::int32_t y)
{
    form_.intDownX = x;
    form_.intDownY = y;
    const ImageBounds bounds = form_.imageBounds();
    if (button == Qt::RightButton) {
        form_.intRightDrag = 1;
        form_.pntDownCursor = cursor_->pos();
        form_.intDownWidth = bounds.width;
        form_.intDownHeight = bounds.height;
        form_.intDownTop = bounds.top;
        form_.intDownLeft = bounds.left;
    } else if (button == Qt::LeftButton) {
        form_.pntDownCursor = cursor_->pos();
        form_.intDownTop = bounds.top;
        form_.intDownLeft = bounds.left;
        form_.intLeftDrag = 1;
    }
    form_.imgImgArea->setCursor(Qt::ClosedHandCursor);
}

void MainFormMouse::imgImgAreaMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        form_.intRightDrag = 0;
    else if (button == Qt::LeftButton)
        form_.intLeftDrag = 0;
    form_.imgImgArea->setCursor(Qt::OpenHandCursor);
}

void MainFormMouse::imgImgAreaMouseMove()
{
    if (form_.intRightDrag == 1 && !zoomDragMove())
        return;
    if (form_.intLeftDrag == 1)
        moveDragMove();
    form_.UpdateTitle();
}

bool MainFormMouse::zoomDragMove()
{
    form_.pntCurCursor = cursor_->pos();
    const PointI down{form_.pntDownCursor.x(), form_.pntDownCursor.y()};
    const PointI current{form_.pntCurCursor.x(), form_.pntCurCursor.y()};
    const ImageBounds bounds = form_.imageBounds();
    switch (classifyZoomDrag(down, current, form_.intFLBoxShowX, bounds, form_.dblZoom)) {
    case ZoomDragAction::RevealToolbar:
        revealToolBox();
        form_.intRightDrag = 0;
        return false;
    case ZoomDragAction::DeadZone:
        return false;
    case ZoomDragAction::ZoomInLimit:
    case ZoomDragAction::ZoomOutLimit:
        form_.intRightDrag = 0;
        return false;
    case ZoomDragAction::ZoomIn:
    case ZoomDragAction::ZoomOut:
        break;
    }
    const bool zoomIn = current.y < down.y;
    form_.dblZoom = steppedZoom(form_.dblZoom, bounds.height, zoomIn);
    form_.RestoreSource();
    const PressState press{form_.intDownX, form_.intDownY,
                           {form_.intDownLeft, form_.intDownTop, form_.intDownWidth, form_.intDownHeight}};
    form_.setImageBounds(zoomDragBounds(form_.displayPicture().width(), form_.displayPicture().height(),
                                        form_.dblZoom, press));
    cursor_->setPos(form_.pntDownCursor);
    return true;
}

void MainFormMouse::moveDragMove()
{
    form_.pntCurCursor = cursor_->pos();
    ImageBounds bounds = form_.imageBounds();
    bounds.left = form_.intDownLeft + (form_.pntCurCursor.x() - form_.pntDownCursor.x());
    bounds.top = form_.intDownTop + (form_.pntCurCursor.y() - form_.pntDownCursor.y());
    form_.setImageBounds(bounds);
}

void MainFormMouse::revealToolBox()
{
    QToolBar* toolBox = form_.TLBToolBox;
    const QPoint at = form_.pntCurCursor;
    // A docked toolbar cannot stand at a screen position: it comes off its dock
    // and floats at the pointer, as a hidden one does.
    const bool placeLeft = toolBox->isHidden() || !toolBox->isFloating();
    if (!toolBox->isFloating())
        floatToolBar(toolBox);
    QPoint position = toolBox->pos();
    if (placeLeft)
        position.setX(at.x() + kToolbarOffsetX);
    position.setY(at.y() + kToolbarOffsetY);
    toolBox->move(position);
    toolBox->show();
}

void MainFormMouse::imgImgAreaDblClick()
{
    const ImageBounds start = form_.imageBounds();
    const PointI target = glideTarget(form_.frameGeometry().width(), form_.frameGeometry().height(),
                                      form_.intDownX, form_.intDownY);
    // Each position is computed as it is reached: a hand-edited step count
    // costs time, never memory.
    const std::int32_t steps = glideSteps(form_.intMoveRatio);
    for (std::int64_t i = 0; i <= steps; ++i) {
        const PointI position = glidePosition({start.left, start.top}, target, steps, static_cast<std::int32_t>(i));
        ImageBounds bounds = form_.imageBounds();
        bounds.top = position.y;
        bounds.left = position.x;
        form_.setImageBounds(bounds);
        form_.repaint();
    }
}

} // namespace tavo
