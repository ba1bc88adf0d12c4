// Extraction: the selected rows, a folder or the whole archive, written below the folder the
// user chooses by an extraction job while this window goes on painting.

#include "extract/extraction_plan.h"
#include "ui/extract_dlg.h"
#include "ui/extraction_job.h"
#include "ui/find_window.h"
#include "ui/qt_text.h"

namespace tarvix {

void CExtractDlg::ExtractSelected() {
    const std::vector<int> rows = SelectedRows();
    ExtractionSubject subject{ExtractionSubject::Kind::FilesOfFolder, {}};
    subject.entries.reserve(rows.size());
    for (int row : rows) subject.entries.push_back(listModel_->entryAt(row));
    if (const auto folder = selectedFolder()) subject.folder = *folder;
    AskAndExtract(std::move(subject),
                  rows.empty() ? std::string() : listModel_->textAt(rows.front()).toStdString());
}

// Found entries come from any folder: with paths preserved, each goes below its own.
void CExtractDlg::ExtractEntries(std::vector<EntryIndex> entries) {
    if (entries.empty()) return;
    const std::string_view first = EntryName(session_.table()[entries.front()]);
    AskAndExtract({ExtractionSubject::Kind::Entries, std::move(entries)},
                  FromCp1252(SplitFolderAndFile(first).file).toStdString());
}

// Only the folder of the chosen path counts; the name typed is not used.
void CExtractDlg::AskAndExtract(ExtractionSubject subject, const std::string& suggestedName) {
    const auto chosen = dialogs_.choosePathToSave({kExtractDialogTitle, suggestedName});
    if (chosen) StartExtraction(std::move(subject), chosen->parent_path());
}

void CExtractDlg::AskFolderAndExtract(ExtractionSubject subject) {
    const auto destination = dialogs_.chooseFolder(kChooseFolderTitle);
    if (destination) StartExtraction(std::move(subject), *destination);
}

void CExtractDlg::StartExtraction(ExtractionSubject subject,
                                  const std::filesystem::path& destination) {
    const ExtractionOptions options{preservePaths_->isChecked(), unpack_->isChecked()};
    job_->start(session_, PlanExtraction(session_, std::move(subject), options, destination));
}

bool CExtractDlg::extracting() const {
    return job_->busy();
}

void CExtractDlg::OnBusyChanged(bool busy) {
    waiting_->setEnabled(!busy);
    setAcceptDrops(!busy);
    extractButton_->setEnabled(extractWanted_ && !busy);
    if (findWindow_) findWindow_->setExtractAllowed(!busy);
}

void CExtractDlg::OnExtractionFinished(const std::string& report) {
    if (closeAfterBatch_) {
        QDialog::done(*closeAfterBatch_);
        return;
    }
    if (!report.empty()) dialogs_.showMessage(report);
}

void CExtractDlg::done(int result) {
    if (job_->busy()) {
        closeAfterBatch_ = result;
        job_->cancel();
        return;
    }
    QDialog::done(result);
}

}  // namespace tarvix
