// The application object: the error report for exceptions that leave an event
// handler, and the user-interface font.
#pragma once

#include <QApplication>

namespace tavo {

// The window font's family; the platform substitutes IPAPGothic for it.
inline constexpr const char* kWindowFontFamily = "ＭＳ Ｐゴシック";
inline constexpr const char* kWindowFontSubstitute = "IPAPGothic";
inline constexpr int kWindowFontPixelSize = 12;
// The fixed-pitch Gothic of the options dialog's text boxes, and its stand-in.
inline constexpr const char* kFixedFontFamily = "ＭＳ ゴシック";
inline constexpr const char* kFixedFontSubstitute = "IPAGothic";

class TavoApplication : public QApplication {
    Q_OBJECT
public:
    TavoApplication(int& argc, char** argv);

    // Catches what a handler lets escape, reports it and goes on.
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tavo
