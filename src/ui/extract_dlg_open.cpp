// Opening archives after start-up: Ctrl+O, a file dropped on the window and a game folder
// (Ctrl+Shift+O, or dropped). One archive or game is open at a time, and another replaces it only
// once it has loaded; a refused one leaves the window as it was.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "ui/archive_opening.h"
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
    if (const auto chosen = ChooseArchive(dialogs_)) OpenAnotherArchive(*chosen);
}

// The session refuses to replace the archive a batch reads; the window does not offer to open
// one meanwhile (the busy signal disables Ctrl+O and drops).
void CExtractDlg::OpenAnotherArchive(const std::filesystem::path& path) {
    ArchiveSession loaded;
    const DatArchive::LoadResult result = loaded.open(path);
    if (!result.ok) {
        ShowRefusal(result, path, dialogs_);
        return;
    }
    ShowLoaded(loaded);
}

void CExtractDlg::OpenGameFolder() {
    if (const auto chosen = dialogs_.chooseFolder(kChooseGameFolderTitle)) {
        OpenGameFolderAt(*chosen);
    }
}

void CExtractDlg::OpenGameFolderAt(const std::filesystem::path& dir) {
    ArchiveSession loaded;
    const DatArchive::LoadResult result = loaded.openGame(dir);
    if (!result.ok) {
        dialogs_.showMessage(result.message);
        return;
    }
    const bool replaced = !session_.inUse();  // ShowLoaded keeps a session in use
    ShowLoaded(loaded);
    if (replaced) ShowLeftOutSources(session_, dialogs_);
}

void CExtractDlg::ShowLoaded(ArchiveSession& loaded) {
    if (session_.inUse()) return;
    // The find window searches the entry list that is about to go, and the viewer shows one of
    // its entries: the one is made afresh on the next Ctrl+F, the other closes.
    delete findWindow_;
    findWindow_ = nullptr;
    preview_->archiveReplaced();
    listModel_->clear();
    treeModel_->beginRebuild();
    session_.replaceWith(loaded);  // the old archive closes with `loaded`
    sourceNames_ = StackSourceNames(session_);
    treeModel_->endRebuild();
    ShowArchiveInCaption();
    FillFileList();
    EnableExtract(false);
    ShowEmptyListHint();
}

void CExtractDlg::ShowArchiveInCaption() {
    setWindowTitle(LiteralWindowTitle(FromFsPath(session_.archive().path()) +
                                      QString::fromLatin1(kTitleSuffix)));
}

void CExtractDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void CExtractDlg::dropEvent(QDropEvent* event) {
    const auto file = DraggedFile(event->mimeData());
    if (!file) return;
    event->acceptProposedAction();
    // Opened once the drop has returned, so that the file manager is not kept waiting while
    // a message is on screen. A folder is a game folder, as at start-up.
    QTimer::singleShot(0, this, [this, path = ToFsPath(*file)] {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            OpenGameFolderAt(path);
        } else {
            OpenAnotherArchive(path);
        }
    });
}

}  // namespace tarvix
