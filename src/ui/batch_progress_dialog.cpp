#include "ui/batch_progress_dialog.h"

#include <QLocale>
#include <algorithm>

namespace tarvix {
namespace {

constexpr qint64 kDelayMs = 500;
constexpr int kSteps = 1000;

}  // namespace

BatchProgressDialog::BatchProgressDialog(QWidget* owner, ExtractionJob& job)
    : QObject(owner), owner_(owner), job_(job) {
    connect(&job_, &ExtractionJob::busyChanged, this, [this](bool busy) {
        if (busy) {
            clock_.start();
        } else if (dialog_) {
            // Later, not now: this may run inside the dialog's own setValue(), whose event
            // loop delivered the end of the batch.
            dialog_->hide();
            dialog_->deleteLater();
            dialog_ = nullptr;
        }
    });
    connect(&job_, &ExtractionJob::progressed, this, &BatchProgressDialog::update);
}

void BatchProgressDialog::update(const BatchMonitor::Progress& p) {
    if (!job_.busy()) return;
    if (!dialog_ && clock_.elapsed() >= kDelayMs) create();
    if (!dialog_ || dialog_->wasCanceled()) return;
    const double share = p.bytesTotal > 0   ? double(p.bytesDone) / double(p.bytesTotal)
                         : p.filesTotal > 0 ? double(p.filesDone) / double(p.filesTotal)
                                            : 1.0;
    const QLocale locale;
    dialog_->setLabelText(tr("Extracting files... %1 of %2 file(s), %3 of %4")
                              .arg(p.filesDone)
                              .arg(p.filesTotal)
                              .arg(locale.formattedDataSize(static_cast<qint64>(p.bytesDone)),
                                   locale.formattedDataSize(static_cast<qint64>(p.bytesTotal))));
    // Last: a shown modal dialog's setValue() turns the event loop, which may end the batch
    // and let go of the dialog.
    dialog_->setValue(std::min(kSteps - 1, static_cast<int>(share * kSteps)));
}

void BatchProgressDialog::create() {
    dialog_ = new QProgressDialog(tr("Extracting files..."), tr("Cancel"), 0, kSteps, owner_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    connect(dialog_, &QProgressDialog::canceled, this, [this] {
        job_.cancel();
        if (dialog_) dialog_->setLabelText(tr("Cancelling..."));
    });
    dialog_->show();
}

}  // namespace tarvix
