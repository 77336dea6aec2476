// One QApplication for the widget tests of this program (offscreen platform).
#pragma once

#include <QApplication>

namespace tavo::test {

inline QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "interaction_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace tavo::test
