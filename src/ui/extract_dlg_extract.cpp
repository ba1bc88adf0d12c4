// Extraction: the selected rows, written below the folder the user chooses, by worker threads
// while this window goes on painting and a progress dialog shows how far they are.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <thread>

#include "extract/batch_extraction.h"
#include "ui/extract_dlg.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// Shows a progress dialog once a batch has run for half a second, so that short batches do
// not flash one; Cancel asks the workers to stop, which they do within a chunk.
class BatchProgressDialog {
public:
    BatchProgressDialog(QWidget* owner, BatchMonitor& monitor) : owner_(owner), monitor_(monitor) {
        clock_.start();
    }

    void update() {
        if (!dialog_ && clock_.elapsed() >= kDelayMs) create();
        if (!dialog_) return;
        const BatchMonitor::Progress p = monitor_.progress();
        const double share = p.bytesTotal > 0   ? double(p.bytesDone) / double(p.bytesTotal)
                             : p.filesTotal > 0 ? double(p.filesDone) / double(p.filesTotal)
                                                : 1.0;
        dialog_->setValue(std::min(kSteps - 1, static_cast<int>(share * kSteps)));
        const QLocale locale;
        dialog_->setLabelText(
            QObject::tr("Extracting files... %1 of %2 file(s), %3 of %4")
                .arg(p.filesDone)
                .arg(p.filesTotal)
                .arg(locale.formattedDataSize(static_cast<qint64>(p.bytesDone)),
                     locale.formattedDataSize(static_cast<qint64>(p.bytesTotal))));
    }

private:
    static constexpr qint64 kDelayMs = 500;
    static constexpr int kSteps = 1000;

    void create() {
        dialog_ = std::make_unique<QProgressDialog>(QObject::tr("Extracting files..."),
                                                    QObject::tr("Cancel"), 0, kSteps, owner_);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        QObject::connect(dialog_.get(), &QProgressDialog::canceled, dialog_.get(), [this] {
            monitor_.requestCancel();
            dialog_->setLabelText(QObject::tr("Cancelling..."));
        });
        dialog_->show();
    }

    QWidget* owner_;
    BatchMonitor& monitor_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// Often enough for the progress dialog to move ten times a second and for Cancel to be seen
// at once.
constexpr int kPollMs = 50;

}  // namespace

void CExtractDlg::ExtractSelected() {
    if (runningBatch_) return;
    const std::vector<int> rows = SelectedRows();
    std::vector<EntryIndex> entries;
    entries.reserve(rows.size());
    for (int row : rows) entries.push_back(listModel_->entryAt(row));

    ExtractTarget target;
    if (preservePaths_->isChecked()) target.preservedFolder = GetSelectedFolderPath();
    AskAndExtract(std::move(entries),
                  rows.empty() ? std::string() : listModel_->textAt(rows.front()).toStdString(),
                  std::move(target));
}

// Found entries come from any folder: with paths preserved, each goes below its own.
void CExtractDlg::ExtractEntries(std::vector<EntryIndex> entries) {
    if (runningBatch_ || entries.empty()) return;
    const std::string_view first = EntryName(entryTable_[entries.front()]);
    ExtractTarget target;
    target.ownFolders = preservePaths_->isChecked();
    AskAndExtract(std::move(entries), FromCp1252(SplitFolderAndFile(first).file).toStdString(),
                  std::move(target));
}

// Only the folder of the chosen path counts; the name typed is not used.
void CExtractDlg::AskAndExtract(std::vector<EntryIndex> entries, const std::string& suggestedName,
                                ExtractTarget target) {
    const auto chosen = dialogs_.choosePathToSave({kExtractDialogTitle, suggestedName});
    if (!chosen) return;
    target.destination = chosen->parent_path();
    target.unpack = unpack_->isChecked();
    RunBatch(std::move(entries), std::move(target));
}

void CExtractDlg::RunBatch(std::vector<EntryIndex> entries, ExtractTarget target) {
    BatchMonitor monitor;
    BatchReport report;
    runningBatch_ = &monitor;
    std::thread worker([&] {
        BatchOptions options;
        options.monitor = &monitor;
        report = ExtractBatch(archive_, entryTable_, entries, target, options);
    });
    {
        BatchProgressDialog progress(this, monitor);
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (monitor.finished()) loop.quit();
            progress.update();
        });
        poll.start(kPollMs);
        loop.exec();
    }
    worker.join();
    runningBatch_ = nullptr;
    if (closeAfterBatch_) {
        QDialog::done(*closeAfterBatch_);
        return;
    }
    const std::string text = FormatBatchReport(report);
    if (!text.empty()) dialogs_.showMessage(text);
}

void CExtractDlg::done(int result) {
    if (runningBatch_) {
        runningBatch_->requestCancel();
        closeAfterBatch_ = result;
        return;
    }
    QDialog::done(result);
}

}  // namespace tarvix
