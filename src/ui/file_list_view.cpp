#include "ui/file_list_view.h"

#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QStyledItemDelegate>
#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "ui/file_list_model.h"

namespace tarvix {
namespace {

// Every item takes the list's column width, and the source column's beside it when there is
// one; the view asks only once per layout, since all items are the same size.
class ColumnDelegate : public QStyledItemDelegate {
public:
    explicit ColumnDelegate(FileListView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::max(size.width(), view_->columnWidth()) + view_->sourceColumnWidth());
        return size;
    }

    // The name as a one-column list draws it, then the source to its right, in the name's
    // colours so that a selected row reads as one.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QString source = index.data(FileListModel::kSourceRole).toString();
        if (source.isEmpty() || view_->sourceColumnWidth() == 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem whole = option;
        initStyleOption(&whole, index);
        whole.text = source;
        whole.rect = option.rect.adjusted(view_->columnWidth(), 0, 0, 0);
        whole.state &= ~QStyle::State_HasFocus;
        whole.features &= ~QStyleOptionViewItem::HasDecoration;
        view_->style()->drawControl(QStyle::CE_ItemViewItem, &whole, painter, view_);
        QStyleOptionViewItem name = option;
        name.rect.setWidth(view_->columnWidth());
        QStyledItemDelegate::paint(painter, name, index);
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

// Shaping a name takes microseconds, too long to do for every name of a folder of 100,000
// files. The sum of a name's character advances comes within a few pixels of its shaped width
// (kerning and rounding make the difference), so names are shaped from the largest sum down,
// and only while a sum is close enough to the widest name found to possibly beat it.
void FileListView::measureColumns() {
    const QFontMetrics metrics(font());
    const QFontMetricsF exact(font());
    std::array<qreal, 256> latin{};
    latin.fill(-1);
    QHash<char16_t, qreal> other;
    const auto advance = [&](QChar c) -> qreal {
        const char16_t u = c.unicode();
        if (u < latin.size()) {
            if (latin[u] < 0) latin[u] = exact.horizontalAdvance(c);
            return latin[u];
        }
        auto it = other.find(u);
        if (it == other.end()) it = other.insert(u, exact.horizontalAdvance(c));
        return *it;
    };
    const int rows = model()->rowCount();
    std::vector<std::pair<qreal, int>> sums(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        qreal sum = 0;
        for (QChar c : model()->index(row, 0).data().toString()) sum += advance(c);
        sums[static_cast<std::size_t>(row)] = {sum, row};
    }
    std::sort(sums.begin(), sums.end(), std::greater<>());
    int widest = 0;
    for (const auto& [sum, row] : sums) {
        if (sum + 2 + sum / 16 < widest) break;  // no name from here on can be wider
        widest =
            std::max(widest, metrics.horizontalAdvance(model()->index(row, 0).data().toString()));
    }
    // The style's item margins on both sides, as the delegate adds them to a text's width.
    columnWidth_ =
        widest + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
    measureSourceColumn();
}

// A stack has a handful of sources, so the distinct names are few and each is shaped once.
// Rows name a source all or none, so a list whose first row names none (one archive's) costs
// nothing more.
void FileListView::measureSourceColumn() {
    const QFontMetrics metrics(font());
    QSet<QString> seen;
    int widest = 0;
    const int rows = model()->rowCount();
    if (rows == 0 || model()->index(0, 0).data(FileListModel::kSourceRole).toString().isEmpty()) {
        sourceColumnWidth_ = 0;
        return;
    }
    for (int row = 0; row < rows; ++row) {
        const QString source = model()->index(row, 0).data(FileListModel::kSourceRole).toString();
        if (source.isEmpty() || seen.contains(source)) continue;
        seen.insert(source);
        widest = std::max(widest, metrics.horizontalAdvance(source));
    }
    sourceColumnWidth_ =
        widest == 0
            ? 0
            : widest + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) +
                  4;
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    selectionChangedSincePress_ = false;
    QListView::mousePressEvent(event);
}

// A click selects on the press, on the release (an item of several selected), or, dragging,
// in between.
void FileListView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    selectionChangedSincePress_ = true;
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && !selectionChangedSincePress_) {
        Q_EMIT leftClickedWithoutSelectionChange();
    }
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT leftDoubleClicked();
}

void FileListView::setPlaceholderText(const QString& text) {
    placeholder_ = text;
    viewport()->update();
}

void FileListView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (placeholder_.isEmpty() || (model() && model()->rowCount(rootIndex()) > 0)) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     placeholder_);
}

}  // namespace tarvix
