#pragma once

#include <QAbstractListModel>
#include <QString>
#include <functional>
#include <span>
#include <vector>

#include "archive/entry_table.h"

namespace tarvix {

// The files of one folder: text = the file part of the entry's name, data = its EntryIndex,
// sorted ascending by text (without regard to case, as the Windows list control sorts; ties
// keep directory order). Over a stack of sources, each row also names the source its file
// comes from (kSourceRole), which the list shows as a second column.
class FileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int kSourceRole = Qt::UserRole + 1;
    // The source of an entry as the list shows it; empty for none.
    using SourceOf = std::function<QString(EntryIndex)>;

    explicit FileListModel(QObject* parent = nullptr);

    // `sourceOf`, when given, names each row's source.
    void setFiles(std::span<const EntryIndex> entries, const EntryTable& table,
                  const SourceOf& sourceOf = {});
    void clear();

    EntryIndex entryAt(int row) const { return rows_[static_cast<std::size_t>(row)].entry; }
    const QString& textAt(int row) const { return rows_[static_cast<std::size_t>(row)].text; }
    const QString& sourceAt(int row) const { return rows_[static_cast<std::size_t>(row)].source; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void sortRows();

    struct Row {
        QString text;
        EntryIndex entry;
        QString source{};
    };
    std::vector<Row> rows_;
};

}  // namespace tarvix
