#pragma once

#include <QAction>
#include <QObject>
#include <QTimer>
#include <optional>
#include <vector>

#include "archive/archive_session.h"
#include "preview/palette.h"
#include "ui/file_list_model.h"
#include "ui/file_list_view.h"

namespace tarvix {

class PreviewWindow;

// Opens the viewer from the file list (F3, or "View" in the list's context menu) and keeps it
// on the list's current row while it is open, so a folder can be walked with the arrow keys.
// The keyboard stays with the list; F3 there closes the viewer again.
class PreviewController : public QObject {
    Q_OBJECT

public:
    PreviewController(QWidget* owner, FileListView* list, const FileListModel* model,
                      const ArchiveSession& session);

    QAction* viewAction() const { return view_; }
    // Offers `action` in the list's context menu, below "View", as it is enabled.
    void addMenuAction(QAction* action) { menuActions_.push_back(action); }

    // Another archive is about to replace the one shown: the viewer closes and the palette
    // is looked up again in the new one.
    void archiveReplaced();
    PreviewWindow* window() const { return window_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toggle();
    void open();
    void showCurrentSoon();
    void showCurrent();
    void showContextMenu(const QPoint& globalPos);
    QPoint currentItemCorner() const;
    const std::optional<Palette>& archivePalette();

    QWidget* owner_;
    FileListView* list_;
    const FileListModel* model_;
    const ArchiveSession& session_;
    QAction* view_;
    std::vector<QAction*> menuActions_;
    PreviewWindow* window_ = nullptr;
    QTimer pending_;  // rows passed over faster than they load are skipped
    bool paletteLooked_ = false;
    std::optional<Palette> palette_;
};

}  // namespace tarvix
