// Extraction: the selected rows, written below the folder the user chooses.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <memory>

#include "extract/batch_extraction.h"
#include "ui/extract_dlg.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// Shows a progress dialog once a batch has run for half a second; Cancel stops it after the
// file being written.
class BatchProgressDialog {
public:
    explicit BatchProgressDialog(QWidget* owner) : owner_(owner) { clock_.start(); }

    bool operator()(std::size_t done, std::size_t total) {
        if (!dialog_ && clock_.elapsed() >= kDelayMs && done < total) {
            dialog_ = std::make_unique<QProgressDialog>(QObject::tr("Extracting files..."),
                                                        QObject::tr("Cancel"), 0,
                                                        static_cast<int>(total), owner_);
            dialog_->setWindowModality(Qt::WindowModal);
            dialog_->setMinimumDuration(0);
        }
        if (!dialog_) return true;
        dialog_->setValue(static_cast<int>(done));
        dialog_->setLabelText(QObject::tr("Extracting files... %1 of %2").arg(done).arg(total));
        QApplication::processEvents();
        return !dialog_->wasCanceled();
    }

private:
    static constexpr qint64 kDelayMs = 500;
    QWidget* owner_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace

void CExtractDlg::ExtractSelected() {
    const std::vector<int> rows = SelectedRows();
    SaveFileRequest request{kExtractDialogTitle, {}};
    if (!rows.empty()) request.suggestedName = listModel_->textAt(rows.front()).toStdString();
    const auto chosen = dialogs_.choosePathToSave(request);
    if (!chosen) return;

    std::vector<EntryIndex> entries;
    entries.reserve(rows.size());
    for (int row : rows) entries.push_back(listModel_->entryAt(row));

    ExtractTarget target{chosen->parent_path(), std::nullopt};
    if (preservePaths_->isChecked()) target.preservedFolder = GetSelectedFolderPath();

    BatchProgressDialog progress(this);
    const BatchReport report =
        ExtractBatch(archive_, entryTable_, entries, target, std::ref(progress));
    const std::string text = FormatBatchReport(report);
    if (!text.empty()) dialogs_.showMessage(text);
}

}  // namespace tarvix
