// The start-up search of the main window's plug-in registry SPIs1, timed so
// that the first paint does not wait for it.
#pragma once

class QWidget;

namespace tavo {

class TSPIs;

// Runs spis.Loaded() (the one search of the program's life) right after the
// window's first paint, unless a load that needed the plug-ins ran it earlier;
// then it reports what that search kept. An error of the search goes to the
// error report; the plug-ins it found stay usable. spis must live as long as
// window.
void searchPluginsAfterFirstPaint(QWidget* window, TSPIs& spis);

} // namespace tavo
