// Work that must not hold back the window's first picture: it runs once the
// first paint has reached the display.
#pragma once

#include <functional>

class QWidget;

namespace tavo {

// Runs `work` once, in the event loop's next turn after the window's first
// paint has been flushed to the display. Work queued later for the same
// window runs first (the window's event filters see the paint newest first).
void runAfterFirstPaint(QWidget* window, std::function<void()> work);

} // namespace tavo
