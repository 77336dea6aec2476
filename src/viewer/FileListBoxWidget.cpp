#include "viewer/FileListBoxWidget.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace tavo {

namespace {

constexpr int kTextIndent = 2;

// Text only, 2 pixels from the left edge, one font line high.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), option.fontMetrics.height());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QPalette::ColorGroup group =
            option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data().toString());
    }
};

} // namespace

FileListModel::FileListModel(const TFileListBox& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}

void FileListModel::reset()
{
    beginResetModel();
    rows_ = list_.count();
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ || index.row() >= list_.count())
        return {};
    // Names are bytes; what is not UTF-8 shows as U+FFFD and is still opened
    // by its bytes, which the list keeps.
    const std::string& line = list_.line(index.row());
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

TFileListBoxWidget::TFileListBoxWidget(QWidget* parent) : QListView(parent), model_(list_)
{
    setModel(&model_);
    setItemDelegate(new LineDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every line is one font line high, so the view needs no per-line layout.
    setUniformItemSizes(true);
    list_.setObserver(this);
}

TFileListBoxWidget::~TFileListBoxWidget() { list_.setObserver(nullptr); }

void TFileListBoxWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit listDoubleClicked();
}

QItemSelectionModel::SelectionFlags TFileListBoxWidget::selectionCommand(const QModelIndex& index,
                                                                        const QEvent* event) const
{
    // A click in the empty part below the lines, or Ctrl with the selected
    // line, would clear the highlight while Next and a double click still act
    // on the selected line: they change nothing.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    return command.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : command;
}

void TFileListBoxWidget::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (syncing_)
        return;
    const QModelIndexList lines = selectionModel()->selectedIndexes();
    list_.setSelectedIndex(lines.isEmpty() ? -1 : lines.front().row());
}

void TFileListBoxWidget::linesReplaced(const std::vector<std::string>&)
{
    syncing_ = true;
    model_.reset();
    syncing_ = false;
}

void TFileListBoxWidget::lineSelected(int index)
{
    syncing_ = true;
    if (index < 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex line = model_.index(index);
        selectionModel()->setCurrentIndex(line, QItemSelectionModel::ClearAndSelect);
        scrollTo(line);
    }
    syncing_ = false;
}

void TFileListBoxWidget::busyBegin() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

void TFileListBoxWidget::busyEnd() { QGuiApplication::restoreOverrideCursor(); }

} // namespace tavo
