#include "viewer/TavoApplication.h"

#include "viewer/ErrorReport.h"

#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>

// The icon's resource lives in a static library, whose unreferenced objects the
// linker drops; naming it here keeps it.
static void keepIconResource()
{
    Q_INIT_RESOURCE(ApplicationIcon);
}

namespace tavo {

TavoApplication::TavoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Only the name: a display name would be appended to every window title.
    setApplicationName(QString::fromUtf8(kApplicationTitle));
    QFont::insertSubstitution(QString::fromUtf8(kWindowFontFamily),
                              QString::fromUtf8(kWindowFontSubstitute));
    QFont::insertSubstitution(QString::fromUtf8(kFixedFontFamily), QString::fromUtf8(kFixedFontSubstitute));

    // The program's own texts are Japanese, so the toolkit's (the colour and
    // file dialogs, standard buttons, edit menus) are too, whatever the
    // user's locale. The desktop's own dialogs would speak the locale's
    // language, so the toolkit draws every dialog itself.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    toolkitTranslated_ = toolkitTranslation_.load(QStringLiteral("qtbase_ja"),
                                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && installTranslator(&toolkitTranslation_);
    setAttribute(Qt::AA_DontUseNativeDialogs);

    setDesktopFileName(QString::fromUtf8(kDesktopName));
    keepIconResource();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/tavotavo.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
}

bool TavoApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportCurrentException();
        return false;
    }
}

} // namespace tavo
