#pragma once

#include <QTreeView>

namespace tarvix {

// The folder tree: one folder is selected at a time, and once one is, one stays selected.
// Like the Windows tree control it scrolls sideways, so that a folder at any depth can be
// reached and read.
class FolderTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit FolderTreeView(QWidget* parent = nullptr);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

Q_SIGNALS:
    // The folder menu is asked for at `globalPos`: by a right-click, which first selects the
    // folder under the pointer, or by the Menu key or Shift+F10, for the selected folder.
    void menuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;

private:
    QPoint menuPositionForKeyboard() const;
};

}  // namespace tarvix
