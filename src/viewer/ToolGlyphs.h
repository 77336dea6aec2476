// The toolbar's glyphs, drawn in code at 16 × 16 pixels: no resource files and
// no icon-theme lookup at start-up.
#pragma once

#include <QIcon>

namespace tavo::glyphs {

QIcon previous();
QIcon next();
QIcon fitWidth();
QIcon fitWhole();
QIcon originalSize();
QIcon zoomRatio();
QIcon settings();
QIcon quit();

} // namespace tavo::glyphs
