#include "viewer/TavoApplication.h"

#include "viewer/ErrorReport.h"

#include <QFont>

namespace tavo {

TavoApplication::TavoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Only the name: a display name would be appended to every window title.
    setApplicationName(QString::fromUtf8(kApplicationTitle));
    QFont::insertSubstitution(QString::fromUtf8(kWindowFontFamily),
                              QString::fromUtf8(kWindowFontSubstitute));
    QFont::insertSubstitution(QString::fromUtf8(kFixedFontFamily), QString::fromUtf8(kFixedFontSubstitute));
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
