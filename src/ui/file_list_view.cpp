#include "ui/file_list_view.h"

#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace tarvix {
namespace {

// Every item takes the list's column width; the view asks only once per layout, since all
// items are the same size.
class ColumnDelegate : public QStyledItemDelegate {
public:
    explicit ColumnDelegate(FileListView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::max(size.width(), view_->columnWidth()));
        return size;
    }

private:
    FileListView* view_;
};

}  // namespace

FileListView::FileListView(QWidget* parent) : QListView(parent) {
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);  // lays out a folder of any size without measuring each row
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setItemDelegate(new ColumnDelegate(this));
}

void FileListView::setModel(QAbstractItemModel* model) {
    QListView::setModel(model);
    connect(model, &QAbstractItemModel::modelReset, this, &FileListView::measureColumns);
}

void FileListView::measureColumns() {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int row = 0; row < model()->rowCount(); ++row) {
        widest =
            std::max(widest, metrics.horizontalAdvance(model()->index(row, 0).data().toString()));
    }
    // The style's item margins on both sides, as the delegate adds them to a text's width.
    columnWidth_ =
        widest + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT leftClicked();
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT leftDoubleClicked();
}

}  // namespace tarvix
