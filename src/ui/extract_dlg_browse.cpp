// Browsing: the selected folder's files, and the summary of the rows selected among them.

#include <QItemSelectionModel>

#include "ui/extract_dlg.h"
#include "ui/qt_text.h"

namespace tarvix {

std::string CExtractDlg::GetSelectedFolderPath() const {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return {};
    return session_.folders().pathOf(treeModel_->nodeOf(selected.constFirst()));
}

// Marks the selected rows, then reads them back in order: the selection's ranges may come in
// any order and, after Ctrl-clicks, overlap.
std::vector<int> CExtractDlg::SelectedRows() const {
    const int rowCount = listModel_->rowCount();
    std::vector<char> marked(static_cast<std::size_t>(rowCount), 0);
    for (const QItemSelectionRange& range : list_->selectionModel()->selection()) {
        for (int row = std::max(range.top(), 0); row <= range.bottom() && row < rowCount; ++row) {
            marked[static_cast<std::size_t>(row)] = 1;
        }
    }
    std::vector<int> rows;
    for (int row = 0; row < rowCount; ++row) {
        if (marked[static_cast<std::size_t>(row)]) rows.push_back(row);
    }
    return rows;
}

// Lists every entry whose folder is the selected node's path, whatever other folders' entries
// come between them in the directory. The Extract button keeps its state.
void CExtractDlg::FillFileList() {
    fillingList_ = true;
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        listModel_->clear();
    } else {
        listModel_->setFiles(session_.folders().filesOf(treeModel_->nodeOf(selected.constFirst())),
                             session_.table(), SourceColumn());
    }
    list_->selectionModel()->clear();
    // A model reset drops the selection without a selectionChanged signal.
    extractRowsAction_->setEnabled(false);
    fillingList_ = false;
    UpdateSelectionStatus();
}

FileListModel::SourceOf CExtractDlg::SourceColumn() const {
    const SourceStack* stack = session_.stack();
    if (!stack) return {};
    return [this, stack](EntryIndex entry) {
        if (entry >= stack->entries().size()) return QString();
        return sourceNames_[stack->entries()[entry].source];
    };
}

void CExtractDlg::OnListClick() {
    EnableExtract(list_->selectionModel()->hasSelection());
    UpdateSelectionStatus();
}

// The Extract button as the list last set it, unless a batch runs.
void CExtractDlg::EnableExtract(bool enabled) {
    extractWanted_ = enabled;
    extractButton_->setEnabled(enabled && !extracting());
}

void CExtractDlg::ShowEmptyListHint() {
    list_->setPlaceholderText(session_.isOpen() ? QString() : tr(kEmptyListHint));
}

void CExtractDlg::UpdateSelectionStatus() {
    pathBox_->setText(FromCp1252(GetSelectedFolderPath()));
    std::uint64_t real = 0;
    std::uint64_t packed = 0;
    const std::vector<int> rows = SelectedRows();
    for (int row : rows) {
        const EntrySizes sizes = GetEntrySizes(session_.table(), listModel_->entryAt(row));
        real += sizes.realSize;
        packed += sizes.packedSize;
    }
    statusBox_->setText(QString::asprintf(
        "%zu of %d file(s) selected, real_size:%llu, packed_size:%llu", rows.size(),
        listModel_->rowCount(), static_cast<unsigned long long>(real),
        static_cast<unsigned long long>(packed)));
}

}  // namespace tarvix
