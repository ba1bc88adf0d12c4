// Whole folders and the whole archive, from the tree's folder menu: every entry below the
// folder, or every entry, each below its own folders in the destination.

#include <QMenu>
#include <numeric>

#include "ui/extract_dlg.h"

namespace tarvix {

void CExtractDlg::ShowFolderMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("IDC_FOLDER_MENU"));
    QAction* folder = menu.addAction(tr("Extract &folder..."));
    QAction* all = menu.addAction(tr("Extract &all..."));
    menu.addSeparator();
    QAction* find = menu.addAction(tr("F&ind files..."));
    folder->setEnabled(selectedFolder().has_value());
    all->setEnabled(archive_.entryCount() > 0);
    if (runningBatch_) menu.setEnabled(false);
    QAction* chosen = menu.exec(globalPos);
    if (chosen == folder) {
        ExtractFolder();
    } else if (chosen == all) {
        ExtractAll();
    } else if (chosen == find) {
        OpenFindWindow();
    }
}

std::optional<NodeId> CExtractDlg::selectedFolder() const {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return treeModel_->nodeOf(selected.constFirst());
}

// Each entry goes to its path relative to the folder's parent (ART\CRITTERS\X.FRM lands at
// CRITTERS/X.FRM), or to its full path with "Preserve internal paths".
void CExtractDlg::ExtractFolder() {
    const std::optional<NodeId> node = selectedFolder();
    if (!node || runningBatch_) return;
    const auto destination = dialogs_.chooseFolder(kChooseFolderTitle);
    if (!destination) return;
    ExtractTarget target{*destination, std::nullopt, unpack_->isChecked()};
    target.ownFolders = true;
    const NodeId parent = folders_.node(*node).parent;
    if (!preservePaths_->isChecked() && parent != FolderIndex::kRoot) {
        target.droppedPrefix = folders_.pathOf(parent) + "\\";
    }
    RunBatch(folders_.entriesBelow(*node), std::move(target));
}

void CExtractDlg::ExtractAll() {
    if (runningBatch_) return;
    const auto destination = dialogs_.chooseFolder(kChooseFolderTitle);
    if (!destination) return;
    ExtractTarget target{*destination, std::nullopt, unpack_->isChecked()};
    target.ownFolders = true;
    std::vector<EntryIndex> entries(archive_.entryCount());
    std::iota(entries.begin(), entries.end(), EntryIndex{0});
    RunBatch(std::move(entries), std::move(target));
}

}  // namespace tarvix
