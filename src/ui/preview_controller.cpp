#include "ui/preview_controller.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <cctype>

#include "archive/dat_entry.h"
#include "extract/session_content.h"
#include "preview/preview_content.h"
#include "ui/preview_window.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

constexpr std::string_view kArchivePaletteName = "COLOR.PAL";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

PreviewController::PreviewController(QWidget* owner, FileListView* list, const FileListModel* model,
                                     const ArchiveSession& session)
    : QObject(owner),
      owner_(owner),
      list_(list),
      model_(model),
      session_(session),
      view_(new QAction(tr("&View"), list)) {
    view_->setShortcut(Qt::Key_F3);
    view_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list_->addAction(view_);
    connect(view_, &QAction::triggered, this, &PreviewController::toggle);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    owner_->installEventFilter(this);
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &PreviewController::showCurrent);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PreviewController::showCurrentSoon);
}

bool PreviewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        if (event->type() == QEvent::Hide && window_) window_->close();
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        showContextMenu(menuEvent->reason() == QContextMenuEvent::Mouse ? menuEvent->globalPos()
                                                                        : currentItemCorner());
        return true;
    }
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            showContextMenu(currentItemCorner());
            return true;
        }
    }
    return false;
}

void PreviewController::showContextMenu(const QPoint& globalPos) {
    view_->setEnabled(list_->currentIndex().isValid());
    QMenu menu(list_);
    menu.addAction(view_);
    for (QAction* action : menuActions_) menu.addAction(action);
    menu.exec(globalPos);
    view_->setEnabled(true);
}

// Where a menu opened from the keyboard appears: on the current row, or the list's corner.
QPoint PreviewController::currentItemCorner() const {
    const QRect rect = list_->visualRect(list_->currentIndex());
    const QPoint at = rect.isValid() ? rect.center() : QPoint(0, 0);
    return list_->viewport()->mapToGlobal(at);
}

void PreviewController::archiveReplaced() {
    pending_.stop();
    if (window_) window_->close();
    paletteLooked_ = false;
    palette_.reset();
}

void PreviewController::toggle() {
    if (window_ && window_->isVisible()) {
        window_->close();
    } else {
        open();
    }
}

void PreviewController::open() {
    if (!list_->currentIndex().isValid()) return;
    if (!window_) {
        window_ = new PreviewWindow(owner_);
        connect(window_, &PreviewWindow::closed, &pending_, &QTimer::stop);
    }
    showCurrent();
    const bool listHadFocus = list_->hasFocus();
    window_->show();
    window_->raise();
    // Platforms that activate every new window anyway give the keyboard back at once.
    if (listHadFocus) {
        owner_->activateWindow();
        list_->setFocus();
    }
}

void PreviewController::showCurrentSoon() {
    if (window_ && window_->isVisible()) pending_.start();
}

void PreviewController::showCurrent() {
    const QModelIndex current = list_->currentIndex();
    if (!window_ || !current.isValid()) return;
    const EntryIndex index = model_->entryAt(current.row());
    const EntryInfo info = SessionEntryInfo(session_, index);
    const EntryFacts facts{info.name, info.type, info.realSize, info.storedSize, info.format};
    EntryContent content = LoadSessionContent(session_, index);
    window_->showContent(FromCp1252(info.name),
                         PreparePreview(facts, std::move(content), archivePalette()));
}

// The archive's own palette is COLOR.PAL at its top; looked for once, when first needed.
const std::optional<Palette>& PreviewController::archivePalette() {
    if (paletteLooked_) return palette_;
    paletteLooked_ = true;
    const FolderIndex& folders = session_.folders();
    const FolderNode& root = folders.node(FolderIndex::kRoot);
    for (NodeId child : root.children) {
        if (!EqualsIgnoringCase(folders.node(child).name, kArchivePaletteName)) continue;
        for (EntryIndex entry : folders.filesOf(child)) {
            const EntryInfo info = GetEntryInfo(session_.table(), entry);
            if (!EqualsIgnoringCase(info.name, kArchivePaletteName)) continue;
            const EntryContent content = LoadSessionContent(session_, entry);
            if (content.status == EntryContent::Status::Ok) palette_ = ParsePalette(content.bytes);
            if (palette_) return palette_;
        }
    }
    return palette_;
}

}  // namespace tarvix
