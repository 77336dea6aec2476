// Takes a docked toolbar off its dock so that it floats as its own small
// window, as if the user had dragged it off; the user can dock it again.
#pragma once

class QToolBar;

namespace tavo {

void floatToolBar(QToolBar* toolBar);

} // namespace tavo
