#include "viewer/GlyphButton.h"

#include <QStyleOptionToolButton>

namespace tavo {

void GlyphButton::initStyleOption(QStyleOptionToolButton* option) const
{
    QToolButton::initStyleOption(option);
    option->iconSize = iconSize();
}

} // namespace tavo
