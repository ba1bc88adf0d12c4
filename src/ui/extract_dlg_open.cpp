// Opening archives after start-up: Ctrl+O and a file dropped on the window. One archive is open
// at a time, and another replaces it only once it has loaded; a refused one leaves the window
// as it was.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "ui/extract_dlg.h"
#include "ui/find_window.h"
#include "ui/preview_controller.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// The one local file a drag carries, if it carries exactly one.
std::optional<QString> DraggedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) return std::nullopt;
    return url.toLocalFile();
}

}  // namespace

void CExtractDlg::setStartupArchive(const std::filesystem::path& path) {
    startupArchive_ = path;
}

void CExtractDlg::OpenAnother() {
    if (runningBatch_) return;
    if (const auto chosen = DatArchive::ChooseArchive(dialogs_)) OpenAnotherArchive(*chosen);
}

void CExtractDlg::OpenAnotherArchive(const std::filesystem::path& path) {
    if (runningBatch_) return;  // the batch reads the archive that is open
    DatArchive candidate;
    if (!candidate.OpenArchiveFile(path, dialogs_)) {
        dialogs_.showMessage(messages::kCannotOpen);
        return;
    }
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(candidate, table);

    // The find window searches the entry list that is about to go, and the viewer shows one of
    // its entries: the one is made afresh on the next Ctrl+F, the other closes.
    delete findWindow_;
    findWindow_ = nullptr;
    preview_->archiveReplaced();
    listModel_->clear();
    treeModel_->beginRebuild();
    archive_.swap(candidate);  // the old archive closes with `candidate`
    entryTable_ = std::move(table);
    folders_ = std::move(folders);
    treeModel_->endRebuild();
    ShowArchiveInCaption();
    FillFileList();
    extractButton_->setEnabled(false);
}

void CExtractDlg::ShowArchiveInCaption() {
    setWindowTitle(
        LiteralWindowTitle(FromFsPath(archive_.path()) + QString::fromLatin1(kTitleSuffix)));
}

void CExtractDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedFile(event->mimeData()) && !runningBatch_) event->acceptProposedAction();
}

void CExtractDlg::dropEvent(QDropEvent* event) {
    const auto file = DraggedFile(event->mimeData());
    if (!file) return;
    event->acceptProposedAction();
    // Opened once the drop has returned, so that the file manager is not kept waiting while
    // a message is on screen.
    QTimer::singleShot(0, this, [this, path = ToFsPath(*file)] { OpenAnotherArchive(path); });
}

}  // namespace tarvix
