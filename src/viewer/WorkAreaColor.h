// The work area's colour as the settings store it (0x00BBGGRR, or a system
// colour number), kept on the panel itself, as its colour property, and drawn
// in the desktop palette's matching colour.
#pragma once

#include "app/ProfileValues.h"

class QWidget;

namespace tavo {

void setWorkAreaColor(QWidget* pnlWkArea, ColorValue color);
// clBtnFace until a colour was set.
ColorValue workAreaColor(const QWidget* pnlWkArea);

} // namespace tavo
