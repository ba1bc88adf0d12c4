#include "ui/file_list_model.h"

#include <algorithm>
#include <string_view>

#include "ui/qt_text.h"

namespace tarvix {

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

void FileListModel::setFiles(std::span<const EntryIndex> entries, const EntryTable& table,
                             const SourceOf& sourceOf) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(entries.size());
    for (EntryIndex entry : entries) {
        rows_.push_back({FromCp1252(SplitFolderAndFile(EntryName(table[entry])).file), entry,
                         sourceOf ? sourceOf(entry) : QString()});
    }
    sortRows();
    endResetModel();
}

// The order of QString::compare without regard to case (each character case-folded, then
// compared by code unit, a shorter text first), ties broken by exact text. Folding every name
// once, instead of both names in every comparison, makes sorting a large folder several times
// faster. Names come from Windows-1252, so there are no surrogate pairs to fold together.
void FileListModel::sortRows() {
    std::vector<char16_t> folded;
    std::vector<std::uint32_t> begin(rows_.size() + 1, 0);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        for (QChar c : rows_[i].text) {
            folded.push_back(static_cast<char16_t>(QChar::toCaseFolded(char32_t{c.unicode()})));
        }
        begin[i + 1] = static_cast<std::uint32_t>(folded.size());
    }
    const auto key = [&](std::uint32_t i) {
        return std::u16string_view(folded.data() + begin[i], begin[i + 1] - begin[i]);
    };
    std::vector<std::uint32_t> order(rows_.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byFolded = key(a).compare(key(b));
        return byFolded != 0 ? byFolded < 0 : rows_[a].text < rows_[b].text;
    });
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(rows_[i]));
    rows_.swap(sorted);
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
            return textAt(index.row());
        case Qt::AccessibleTextRole:
            // A screen reader hears the source after the name, as the eye sees it.
            if (sourceAt(index.row()).isEmpty()) return textAt(index.row());
            return textAt(index.row()) + QStringLiteral(", ") + sourceAt(index.row());
        case Qt::UserRole:
            return QVariant::fromValue(entryAt(index.row()));
        case kSourceRole:
            return sourceAt(index.row());
        default:
            return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

}  // namespace tarvix
