#include "viewer/MainFormShell.h"

#include "app/IniFile.h"
#include "app/WheelMove.h"
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"
#include "viewer/MainFormSettings.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWheelEvent>

namespace tavo {

MainFormShell::MainFormShell(TfrmTavo2MainForm& form) : QObject(&form), form_(form)
{
    form.setAcceptDrops(true);
    form.installEventFilter(this);
}

std::optional<std::string> MainFormShell::firstLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return QFile::encodeName(url.toLocalFile()).toStdString();
    return std::nullopt;
}

bool MainFormShell::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &form_)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        // A settings file that cannot be written is reported once and the window
        // closes anyway, so the user is never kept in a program that cannot end.
        guarded([this] { FormClose(form_); });
        return false;
    case QEvent::DragEnter: {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (firstLocalFile(drag->mimeData()))
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const auto path = firstLocalFile(drop->mimeData());
        if (!path)
            return true;
        drop->acceptProposedAction();
        guarded([this, &path] {
            form_.strCurFile = *path;
            form_.LoadCurFile();
        });
        return true;
    }
    case QEvent::Wheel: {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        // A sideways scroll, or a touchpad's begin and end markers, carry no
        // vertical turn: they are not wheel turns at all.
        if (delta == 0)
            return false;
        ImageBounds bounds = form_.imageBounds();
        bounds.top = wheelMovedTop(bounds.top, bounds.height, delta);
        form_.setImageBounds(bounds);
        event->accept();
        return true;
    }
    default:
        return false;
    }
}

} // namespace tavo
