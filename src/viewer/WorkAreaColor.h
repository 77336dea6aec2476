// The work area's colour as the settings store it (0x00BBGGRR, or a system
// colour number), kept on the panel itself, as its colour property, and drawn
// in the desktop palette's matching colour.
#pragma once

#include "app/ProfileValues.h"

class QColor;
class QWidget;

namespace tavo {

void setWorkAreaColor(QWidget* pnlWkArea, ColorValue color);
// What a colour value is drawn in now: a system colour is the desktop palette's.
QColor drawnColor(ColorValue color);
// A chosen colour as a plain 0x00BBGGRR value.
ColorValue colorValueOf(const QColor& color);
// clBtnFace until a colour was set.
ColorValue workAreaColor(const QWidget* pnlWkArea);

} // namespace tavo
