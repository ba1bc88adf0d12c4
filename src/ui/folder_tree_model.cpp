#include "ui/folder_tree_model.h"

#include "ui/qt_text.h"

namespace tarvix {

FolderTreeModel::FolderTreeModel(const FolderIndex& folders, QObject* parent)
    : QAbstractItemModel(parent), folders_(folders) {}

NodeId FolderTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : FolderIndex::kRoot;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto& children = folders_.node(nodeOf(parent)).children;
    if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= children.size()) return {};
    return createIndex(row, 0, quintptr{children[static_cast<std::size_t>(row)]});
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const NodeId parentId = folders_.node(nodeOf(child)).parent;
    if (!child.isValid() || parentId == FolderIndex::kRoot) return {};
    return createIndex(static_cast<int>(folders_.node(parentId).row), 0, quintptr{parentId});
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(folders_.node(nodeOf(parent)).children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const FolderNode& node = folders_.node(nodeOf(index));
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return FromCp1252(node.name);
        case Qt::UserRole:
            return QVariant::fromValue(node.entryIndex);
        case kNodeIdRole:
            return QVariant::fromValue(nodeOf(index));
        default:
            return {};
    }
}

}  // namespace tarvix
