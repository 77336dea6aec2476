// The file list on screen: a list view over TFileListBox's lines. The model is
// reset in one step when the lines are replaced and turns a line into text only
// when it is drawn, so a big folder costs no per-line work here. A single click
// or the list's own arrow keys select a line; a double click is reported. The
// highlighted line is always the list's SelectedIndex.
#pragma once

#include "imaging/FileListBox.h"

#include <QAbstractListModel>
#include <QListView>

namespace tavo {

class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileListModel(const TFileListBox& list, QObject* parent = nullptr);

    // Takes the list's present lines.
    void reset();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const TFileListBox& list_;
    int rows_ = 0;
};

class TFileListBoxWidget : public QListView, private FileListObserver {
    Q_OBJECT
public:
    explicit TFileListBoxWidget(QWidget* parent = nullptr);
    ~TFileListBoxWidget() override;

    TFileListBox& list() { return list_; }
    const TFileListBox& list() const { return list_; }

signals:
    // Any double click in the list; the first click has selected the line
    // under the mouse, if there is one.
    void listDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The highlight is the list's selection: only a line can be selected, and
    // nothing the user does takes the highlight away without selecting another.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void linesReplaced(const std::vector<std::string>& lines) override;
    void lineSelected(int index) override;
    void busyBegin() override;
    void busyEnd() override;

    TFileListBox list_;
    FileListModel model_;
    bool syncing_ = false;
};

} // namespace tavo
