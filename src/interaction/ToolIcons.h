// The glyph of an external tool's button: the tool's icon drawn into the
// upper-left 19 × 19 pixels of a 20 × 20 glyph, or a blank glyph.
#pragma once

#include <QPixmap>
#include <QString>

namespace tavo {

inline constexpr int kToolGlyphSize = 20;

// A desktop entry's Icon, else the icon theme's icon named after the program,
// else an image file's own picture; nothing when none of them exists.
QIcon toolIcon(const QString& toolPath);

QPixmap toolGlyph(const QString& toolPath);

} // namespace tavo
