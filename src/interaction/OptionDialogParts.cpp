#include "interaction/OptionDialogParts.h"

#include "viewer/WorkAreaColor.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tavo {

void SteppingSpinBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        QSpinBox::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (!event->text().isEmpty() || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
        QApplication::beep();
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

ColorSquare::ColorSquare(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setObjectName("pnlColor");
    setCursor(Qt::PointingHandCursor);
}

void ColorSquare::setColorValue(std::uint32_t value)
{
    colorValue_ = value;
    update();
}

namespace {
const QString kColorSquareCaption = QStringLiteral("pnlColor");
// Below this the caption would no longer be legible.
constexpr int kSmallestCaptionPixels = 7;
} // namespace

QFont ColorSquare::captionFont() const
{
    QFont caption = font();
    int pixels = QFontInfo(caption).pixelSize();
    // The square is narrower than the caption in some Gothic fonts of 12 pixels.
    while (pixels > kSmallestCaptionPixels &&
           QFontMetrics(caption).horizontalAdvance(kColorSquareCaption) > contentsRect().width()) {
        caption.setPixelSize(--pixels);
    }
    return caption;
}

void ColorSquare::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), drawnColor(colorValue_));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(captionFont());
        painter.drawText(contentsRect(), Qt::AlignCenter, kColorSquareCaption);
    }
    QFrame::paintEvent(event);
}

void ColorSquare::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
    QFrame::mouseReleaseEvent(event);
}

} // namespace tavo
