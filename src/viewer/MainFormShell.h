// What the application shell adds to the main window's event handling: the
// settings written at close, files dropped on the window, and the mouse wheel.
// It watches the window's events (a wheel turn over a child that ignores it
// reaches the window too) and leaves everything else to the window.
#pragma once

#include <QObject>

#include <optional>
#include <string>

class QMimeData;

namespace tavo {

class TfrmTavo2MainForm;

class MainFormShell : public QObject {
    Q_OBJECT
public:
    // Installs itself on the form, which owns it; the form accepts drops from now on.
    explicit MainFormShell(TfrmTavo2MainForm& form);

    // The first local file of a drop, as the file system names it.
    static std::optional<std::string> firstLocalFile(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TfrmTavo2MainForm& form_;
};

} // namespace tavo
