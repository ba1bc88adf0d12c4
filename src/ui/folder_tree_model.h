#pragma once

#include <QAbstractItemModel>

#include "archive/folder_index.h"

namespace tarvix {

// Shows a FolderIndex in a tree view: one item per node, in creation order, with the node's
// EntryIndex as its data. Items are made on demand, so a tree of any size appears at once.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    static constexpr int kNodeIdRole = Qt::UserRole + 1;

    explicit FolderTreeModel(const FolderIndex& folders, QObject* parent = nullptr);

    // Wrap a rebuild of the index, so views drop what they knew of the old one.
    void beginRebuild() { beginResetModel(); }
    void endRebuild() { endResetModel(); }

    NodeId nodeOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const FolderIndex& folders_;
};

}  // namespace tarvix
