// Finding files by name: the find window, and showing what it found in the tree and the list.

#include <QItemSelectionModel>
#include <QShortcut>
#include <algorithm>

#include "ui/extract_dlg.h"
#include "ui/find_window.h"

namespace tarvix {

void CExtractDlg::wireFindShortcut() {
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &CExtractDlg::OpenFindWindow);
}

void CExtractDlg::OpenFindWindow() {
    if (!findWindow_) {
        findWindow_ = new FindWindow(session_.table(), this);
        findWindow_->setExtractAllowed(!extracting());
        connect(findWindow_, &FindWindow::jumpRequested, this, &CExtractDlg::ShowEntries);
        connect(findWindow_, &FindWindow::extractRequested, this,
                [this](const std::vector<EntryIndex>& entries) { ExtractEntries(entries); });
    }
    findWindow_->present();
}

// An entry is listed under the node of its folder path (a name without a backslash is its own
// folder), so entries of one folder are those with the same folder path.
void CExtractDlg::ShowEntries(const std::vector<EntryIndex>& entries) {
    if (entries.empty()) return;
    const auto folderPathOf = [this](EntryIndex entry) {
        return SplitFolderAndFile(EntryName(session_.table()[entry])).folder;
    };
    const std::string_view folderPath = folderPathOf(entries.front());
    const NodeId folder = session_.folders().folderOf(folderPath);
    if (folder == FolderIndex::kRoot) return;  // not an entry of this archive
    std::vector<EntryIndex> inFolder;
    for (EntryIndex entry : entries) {
        if (folderPathOf(entry) == folderPath) inFolder.push_back(entry);
    }
    SelectFolderNode(folder);
    SelectListedEntries(std::move(inFolder));
    list_->setFocus();  // where the keyboard goes when this window is active again
}

// Each node knows its row under its parent, so the path down from the top gives the index.
QModelIndex CExtractDlg::TreeIndexOf(NodeId node) const {
    std::vector<NodeId> chain;
    const FolderIndex& folders = session_.folders();
    for (NodeId n = node; n != FolderIndex::kRoot; n = folders.node(n).parent) chain.push_back(n);
    QModelIndex index;
    for (auto n = chain.rbegin(); n != chain.rend(); ++n) {
        index = treeModel_->index(static_cast<int>(folders.node(*n).row), 0, index);
    }
    return index;
}

// Selecting the node fills the list, as a click does; a folder already selected keeps its list.
void CExtractDlg::SelectFolderNode(NodeId node) {
    const QModelIndex index = TreeIndexOf(node);
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        tree_->expand(parent);
    }
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}

// The listed rows of `entries`, selected as runs of adjacent rows; the first becomes current
// and is scrolled into view. The selection change updates the summary and the Extract button.
void CExtractDlg::SelectListedEntries(std::vector<EntryIndex> entries) {
    std::sort(entries.begin(), entries.end());
    QItemSelection selection;
    int first = -1;
    const int rowCount = listModel_->rowCount();
    for (int row = 0; row < rowCount;) {
        if (!std::binary_search(entries.begin(), entries.end(), listModel_->entryAt(row))) {
            ++row;
            continue;
        }
        const int top = row;
        while (row < rowCount &&
               std::binary_search(entries.begin(), entries.end(), listModel_->entryAt(row))) {
            ++row;
        }
        selection.select(listModel_->index(top), listModel_->index(row - 1));
        if (first < 0) first = top;
    }
    if (first < 0) return;
    QItemSelectionModel* selected = list_->selectionModel();
    selected->select(selection, QItemSelectionModel::ClearAndSelect);
    selected->setCurrentIndex(listModel_->index(first), QItemSelectionModel::NoUpdate);
    list_->scrollTo(listModel_->index(first));
}

}  // namespace tarvix
