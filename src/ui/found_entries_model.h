#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <vector>

#include "archive/entry_table.h"

namespace tarvix {

// The entries a search found, one row each, in the order given: the full internal path, the
// real size and the packed size. Only the entry indexes are kept; a row's text is made when
// the view asks for it, so a million results cost four bytes each until they are shown.
class FoundEntriesModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int { kPathColumn, kRealSizeColumn, kPackedSizeColumn, kColumnCount };

    explicit FoundEntriesModel(const EntryTable& table, QObject* parent = nullptr);

    // Shared with the search that found them, rather than copied.
    void setEntries(std::shared_ptr<const std::vector<EntryIndex>> entries);
    void clear();
    EntryIndex entryAt(int row) const { return (*entries_)[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString textAt(int row, int column) const;

    const EntryTable& table_;
    std::shared_ptr<const std::vector<EntryIndex>> entries_;
};

}  // namespace tarvix
