#include "interaction/MainFormKeys.h"

#include "interaction/core/KeyCommands.h"
#include "interaction/core/MouseGestures.h"
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

namespace tavo {

MainFormKeys::MainFormKeys(TfrmTavo2MainForm& form) : QObject(&form), form_(form)
{
    form_.installEventFilter(this);
}

int MainFormKeys::virtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace: return vk::Back;
    case Qt::Key_Escape: return vk::Escape;
    case Qt::Key_Space: return vk::Space;
    case Qt::Key_Left: return vk::Left;
    case Qt::Key_Up: return vk::Up;
    case Qt::Key_Right: return vk::Right;
    case Qt::Key_Down: return vk::Down;
    case Qt::Key_F2: return vk::F2;
    case Qt::Key_F3: return vk::F3;
    case Qt::Key_F4: return vk::F4;
    case Qt::Key_F5: return vk::F5;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    default:
        // Letters and digits have their ASCII capitals as codes; the rest only
        // need to differ from the keys above.
        if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
            return qtKey;
        return 0xFF;
    }
}

bool MainFormKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &form_ || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    // A key that a focused child did not take travels up to the window; it is
    // the child's key all the same.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && focus != &form_ && focus->isVisible() && form_.isAncestorOf(focus))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    guarded([&] { FormKeyDown(virtualKey(key->key()), key->modifiers()); });
    return true;
}

void MainFormKeys::FormKeyDown(int virtualKey, Qt::KeyboardModifiers modifiers)
{
    const bool shiftAlone = isShiftAlone(modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
                                         modifiers.testFlag(Qt::AltModifier));
    const KeyCommand command = keyCommand(virtualKey, shiftAlone);
    switch (command) {
    case KeyCommand::None:
        return;
    case KeyCommand::NextPicture:
        form_.spdNextClick();
        return;
    case KeyCommand::PreviousPicture:
        form_.spdPrevClick();
        return;
    case KeyCommand::MoveUp:
    case KeyCommand::MoveDown:
    case KeyCommand::MoveLeft:
    case KeyCommand::MoveRight: {
        form_.setImageBounds(movedBounds(form_.imageBounds(), command));
        return;
    }
    case KeyCommand::FitWidth:
        form_.spbWindowWidthClick();
        form_.spbWindowWidth->setChecked(true);
        return;
    case KeyCommand::FitWhole:
        form_.spbFullClick();
        form_.spbFull->setChecked(true);
        return;
    case KeyCommand::OriginalSize:
        form_.spbNoZoomClick();
        form_.spbNoZoom->setChecked(true);
        return;
    case KeyCommand::Options:
        form_.spbConfigClick();
        return;
    case KeyCommand::Close:
        form_.spdCloseClick();
        return;
    case KeyCommand::ZoomIn:
    case KeyCommand::ZoomOut:
    case KeyCommand::ReapplyZoom:
        keyboardZoom(command);
        return;
    }
}

void MainFormKeys::keyboardZoom(KeyCommand command)
{
    const ImageBounds current = form_.imageBounds();
    if (command != KeyCommand::ReapplyZoom)
        form_.dblZoom = steppedZoom(form_.dblZoom, current.height, command == KeyCommand::ZoomIn);
    form_.RestoreSource();
    form_.setImageBounds(centredZoomBounds(form_.displayPicture().width(), form_.displayPicture().height(),
                                           form_.dblZoom, current));
}

} // namespace tavo
