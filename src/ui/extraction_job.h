#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "archive/archive_session.h"
#include "archive/batch_monitor.h"
#include "extract/extraction_plan.h"

namespace tarvix {

// One extraction at a time, off the window's thread (on a thread of its own), reported through
// signals: busyChanged when it starts and ends, progressed about ten times a second while it
// runs, finished with what the user is to be told. The window's event loop keeps running all
// along; nothing waits in a loop of its own.
//
// A second start while one runs is refused, and the session the batch reads cannot be replaced
// or closed until it has ended (ArchiveSession::Use). Destroying the job cancels a running
// batch and waits for it, which takes one chunk's time.
class ExtractionJob : public QObject {
    Q_OBJECT

public:
    explicit ExtractionJob(QObject* parent = nullptr);
    ~ExtractionJob() override;

    // Starts writing `plan` from `session`, which must outlive the job. False, and nothing
    // started, while another batch runs, or when the system gives no thread for it (then
    // `finished` says so).
    bool start(ArchiveSession& session, ExtractionPlan plan);
    bool busy() const { return monitor_ != nullptr; }
    // Asks the running batch to stop; it does within one chunk and then finishes as usual.
    void cancel();

Q_SIGNALS:
    void busyChanged(bool busy);
    void progressed(const BatchMonitor::Progress& progress);
    // The report of the batch that ended: its failures, or how far a cancelled one got; empty
    // when every file was written.
    void finished(const std::string& report);  // UTF-8

private:
    void onFinished();

    std::unique_ptr<BatchMonitor> monitor_;  // set while a batch runs
    std::optional<ArchiveSession::Use> use_;
    ExtractionPlan plan_;
    std::string report_;  // written by the batch's thread, read after joining it
    QTimer ticker_;
    // The batch's thread, joined before its report is read and when the job goes. A plain
    // thread rather than Qt's pools: joining it is what makes the report (and the thread's end)
    // visible to this thread, for the program and for ThreadSanitizer alike; a pool's idle
    // threads are handed back through Qt's own locks, which the sanitizer cannot see.
    std::thread thread_;
};

}  // namespace tarvix
