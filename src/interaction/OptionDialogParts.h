// Small widgets of the options dialog.
#pragma once

#include <QFrame>
#include <QSpinBox>

#include <cstdint>
#include <functional>

namespace tavo {

// A spin box that takes no typing: a typed character is refused with a beep;
// its arrows and the Up and Down keys step the value within the range.
class SteppingSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The colour square: a single-line border, the colour, and its caption drawn in
// the middle in the window-text colour. A click asks for another colour.
class ColorSquare : public QFrame {
public:
    explicit ColorSquare(QWidget* parent);
    std::uint32_t colorValue() const { return colorValue_; }
    void setColorValue(std::uint32_t value);
    std::function<void()> onClick;
    // The caption's font: the square's own, made smaller as far as needed for
    // the caption to fit between the borders.
    QFont captionFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t colorValue_ = 0;
};

} // namespace tavo
