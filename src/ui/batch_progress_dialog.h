#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include "ui/extraction_job.h"

namespace tarvix {

// The progress of the job's batch, in a window-modal dialog that appears once a batch has run
// for half a second, so that short batches do not flash one. Cancel asks the job to stop; the
// dialog goes when the batch has ended.
class BatchProgressDialog : public QObject {
    Q_OBJECT

public:
    BatchProgressDialog(QWidget* owner, ExtractionJob& job);

private:
    void update(const BatchMonitor::Progress& progress);
    void create();

    QWidget* owner_;
    ExtractionJob& job_;
    QElapsedTimer clock_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace tarvix
