// Whole folders and the whole archive, from the tree's folder menu: every entry below the
// folder, or every entry, each below its own folders in the destination.

#include <QMenu>

#include "ui/extract_dlg.h"

namespace tarvix {

void CExtractDlg::ShowFolderMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("IDC_FOLDER_MENU"));
    extractFolderAction_->setEnabled(selectedFolder().has_value());
    extractAllAction_->setEnabled(session_.archive().entryCount() > 0);
    menu.addAction(extractFolderAction_);
    menu.addAction(extractAllAction_);
    menu.addSeparator();
    QAction* find = menu.addAction(tr("F&ind files..."));
    menu.addAction(openGameAction_);
    if (extracting()) menu.setEnabled(false);
    if (menu.exec(globalPos) == find) OpenFindWindow();
}

std::optional<NodeId> CExtractDlg::selectedFolder() const {
    const QModelIndexList selected = tree_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return treeModel_->nodeOf(selected.constFirst());
}

// Each entry goes to its path relative to the folder's parent (ART\CRITTERS\X.FRM lands at
// CRITTERS/X.FRM), or to its full path with "Preserve internal paths" (PlanExtraction).
void CExtractDlg::ExtractFolder() {
    const std::optional<NodeId> node = selectedFolder();
    if (!node) return;
    ExtractionSubject subject{ExtractionSubject::Kind::Folder, {}};
    subject.folder = *node;
    AskFolderAndExtract(std::move(subject));
}

void CExtractDlg::ExtractAll() {
    AskFolderAndExtract({ExtractionSubject::Kind::Archive, {}});
}

}  // namespace tarvix
