// The application object: the error report for exceptions that leave an event
// handler, the user-interface font, the toolkit's Japanese texts and the icon.
#pragma once

#include <QApplication>
#include <QTranslator>

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

    // Whether the toolkit's Japanese translation was found and installed.
    bool toolkitTranslated() const { return toolkitTranslated_; }

private:
    QTranslator toolkitTranslation_;
    bool toolkitTranslated_ = false;
};

// The name of the desktop entry and of the icon in the icon theme.
inline constexpr const char* kDesktopName = "tavotavo";

} // namespace tavo
