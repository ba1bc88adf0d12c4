#include "ui/folder_tree_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

namespace tarvix {

// The tree's one column is as wide as its widest open row, so that every row lies inside it
// and a horizontal scroll bar appears once a row is wider than the view.
FolderTreeView::FolderTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

// QTreeView scrolls sideways by whole columns: when the column is wider than the view, it
// goes back to the column's left edge, however deep the row is. It is left to scroll up and
// down; sideways the row itself is brought into view, its expand mark and name, moving as
// little as needed. A row wider than the view shows its name from the start.
void FolderTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* bar = horizontalScrollBar();
    const int sideways = bar->value();
    QTreeView::scrollTo(index, hint);
    bar->setValue(sideways);

    const QRect cell = visualRect(index);
    if (cell.isEmpty()) return;  // not laid out: inside a closed folder
    const int markLeft = cell.left() - indentation();
    const int nameRight = cell.left() + sizeHintForIndex(index).width() - 1;
    const int viewWidth = viewport()->width();
    if (nameRight - markLeft >= viewWidth) {
        bar->setValue(sideways + cell.left());
    } else if (markLeft < 0) {
        bar->setValue(sideways + markLeft);
    } else if (nameRight >= viewWidth) {
        bar->setValue(sideways + nameRight - viewWidth + 1);
    }
}

// Commands that would leave no folder selected, and so an empty list, are dropped: Ctrl+click
// and Ctrl+Space on the selected folder deselect it, and a click beside every folder clears
// the selection when the mouse button is released.
QItemSelectionModel::SelectionFlags FolderTreeView::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags command = QTreeView::selectionCommand(index, event);
    const bool leavesNone = (command & QItemSelectionModel::Deselect) ||
                            ((command & QItemSelectionModel::Clear) && !index.isValid());
    return leavesNone ? QItemSelectionModel::NoUpdate : command;
}

// A keyboard move selects the new current folder, then selects again whatever lies under the
// centre of its row; QTreeView clears the selection when nothing does (a row reaching past
// the column's right edge). Such a rectangle leaves the selection as it is.
void FolderTreeView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const QRect normal = rect.normalized();
    if (!indexAt(normal.topLeft()).isValid() && !indexAt(normal.bottomRight()).isValid()) return;
    QTreeView::setSelection(rect, command);
}

void FolderTreeView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() != QContextMenuEvent::Mouse) {
        Q_EMIT menuRequested(menuPositionForKeyboard());
        return;
    }
    const QModelIndex under = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (under.isValid()) setCurrentIndex(under);
    Q_EMIT menuRequested(event->globalPos());
}

// Shift+F10 is the other key for a context menu; Qt maps only the Menu key to one.
void FolderTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        Q_EMIT menuRequested(menuPositionForKeyboard());
        return;
    }
    QTreeView::keyPressEvent(event);
}

// Just below the selected folder's name, or the view's corner when none is selected.
QPoint FolderTreeView::menuPositionForKeyboard() const {
    const QRect row = visualRect(currentIndex());
    const QPoint local = row.isValid() ? row.bottomLeft() + QPoint(row.height(), 0) : QPoint(0, 0);
    return viewport()->mapToGlobal(local);
}

}  // namespace tarvix
