#pragma once

#include <QAbstractListModel>
#include <QString>
#include <span>
#include <vector>

#include "archive/entry_table.h"

namespace tarvix {

// The files of one folder: text = the file part of the entry's name, data = its EntryIndex,
// sorted ascending by text (without regard to case, as the Windows list control sorts; ties
// keep directory order).
class FileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit FileListModel(QObject* parent = nullptr);

    void setFiles(std::span<const EntryIndex> entries, const EntryTable& table);
    void clear();

    EntryIndex entryAt(int row) const { return rows_[static_cast<std::size_t>(row)].entry; }
    const QString& textAt(int row) const { return rows_[static_cast<std::size_t>(row)].text; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void sortRows();

    struct Row {
        QString text;
        EntryIndex entry;
    };
    std::vector<Row> rows_;
};

}  // namespace tarvix
