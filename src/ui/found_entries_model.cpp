#include "ui/found_entries_model.h"

#include "archive/dat_entry.h"
#include "ui/qt_text.h"

namespace tarvix {

FoundEntriesModel::FoundEntriesModel(const EntryTable& table, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      entries_(std::make_shared<const std::vector<EntryIndex>>()) {}

void FoundEntriesModel::setEntries(std::shared_ptr<const std::vector<EntryIndex>> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

void FoundEntriesModel::clear() {
    setEntries(std::make_shared<const std::vector<EntryIndex>>());
}

int FoundEntriesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_->size());
}

int FoundEntriesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString FoundEntriesModel::textAt(int row, int column) const {
    const EntryIndex entry = entryAt(row);
    if (column == kPathColumn) return FromCp1252(EntryName(table_[entry]));
    const EntrySizes sizes = GetEntrySizes(table_, entry);
    return QString::number(column == kRealSizeColumn ? sizes.realSize : sizes.packedSize);
}

QVariant FoundEntriesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return textAt(index.row(), index.column());
        case Qt::TextAlignmentRole:
            return index.column() == kPathColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                 : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::UserRole:
            return QVariant::fromValue(entryAt(index.row()));
        default:
            return {};
    }
}

QVariant FoundEntriesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kPathColumn:
            return tr("Path");
        case kRealSizeColumn:
            return tr("Real size");
        case kPackedSizeColumn:
            return tr("Packed size");
        default:
            return {};
    }
}

Qt::ItemFlags FoundEntriesModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

}  // namespace tarvix
