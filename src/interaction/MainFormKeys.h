// The keyboard commands of the main window (FormKeyDown). Installed as an event
// filter on the window; the keys reach it only while no child control holds
// the focus (the file list takes them while it has it).
#pragma once

#include "interaction/core/KeyCommands.h"

#include <QObject>

namespace tavo {

class TfrmTavo2MainForm;

class MainFormKeys : public QObject {
public:
    explicit MainFormKeys(TfrmTavo2MainForm& form);

    // The key's virtual-key code and the modifiers held.
    void FormKeyDown(int virtualKey, Qt::KeyboardModifiers modifiers);

    // The virtual-key code of a toolkit key; 0 for keys that have none here.
    static int virtualKey(int qtKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keyboardZoom(KeyCommand command);

    TfrmTavo2MainForm& form_;
};

} // namespace tavo
