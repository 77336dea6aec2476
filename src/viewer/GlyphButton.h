// A toolbar button that draws its icon at its own icon size. A plain tool
// button on a toolbar takes the toolbar's icon size when it paints, whatever
// its own, so a 20-pixel glyph on a 16-pixel toolbar came out scaled down.
#pragma once

#include <QToolButton>

namespace tavo {

class GlyphButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;

protected:
    void initStyleOption(QStyleOptionToolButton* option) const override;
};

} // namespace tavo
