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

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
};

}  // namespace tarvix
