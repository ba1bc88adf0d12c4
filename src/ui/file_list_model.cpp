#include "ui/file_list_model.h"

#include <algorithm>

#include "ui/qt_text.h"

namespace tarvix {

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

void FileListModel::setFiles(std::span<const EntryIndex> entries, const EntryTable& table) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(entries.size());
    for (EntryIndex entry : entries) {
        rows_.push_back({FromCp1252(SplitFolderAndFile(EntryName(table[entry])).file), entry});
    }
    std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) {
        const int byText = a.text.compare(b.text, Qt::CaseInsensitive);
        return byText != 0 ? byText < 0 : a.text < b.text;
    });
    endResetModel();
}

void FileListModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return textAt(index.row());
        case Qt::UserRole:
            return QVariant::fromValue(entryAt(index.row()));
        default:
            return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

}  // namespace tarvix
