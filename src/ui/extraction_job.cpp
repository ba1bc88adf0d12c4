#include "ui/extraction_job.h"

#include <exception>
#include <system_error>
#include <utility>

#include "extract/session_batch.h"

namespace tarvix {
namespace {

// Often enough for a progress bar to move smoothly and for Cancel to show at once.
constexpr int kProgressEveryMs = 100;

// The engine, and the one place that reads its report. Runs on the job's thread; an exception
// (out of memory) ends this batch with a message instead of the program.
std::string ExtractAndReport(const ArchiveSession& session, const ExtractionPlan& plan,
                             BatchMonitor& monitor) {
    try {
        BatchOptions options;
        options.monitor = &monitor;
        const BatchReport report = ExtractFromSession(session, plan, options);
        return FormatBatchReport(report);
    } catch (const std::exception& error) {
        monitor.finish();
        return std::string("Extraction stopped: ") + error.what();
    } catch (...) {
        monitor.finish();
        return "Extraction stopped";
    }
}

}  // namespace

ExtractionJob::ExtractionJob(QObject* parent) : QObject(parent) {
    ticker_.setInterval(kProgressEveryMs);
    connect(&ticker_, &QTimer::timeout, this, [this] {
        if (monitor_) Q_EMIT progressed(monitor_->progress());
    });
}

// The queued call to onFinished that the thread may have posted dies with this object.
ExtractionJob::~ExtractionJob() {
    if (!thread_.joinable()) return;
    monitor_->requestCancel();
    thread_.join();
}

bool ExtractionJob::start(ArchiveSession& session, ExtractionPlan plan) {
    if (busy()) return false;
    monitor_ = std::make_unique<BatchMonitor>();
    use_.emplace(session);
    plan_ = std::move(plan);
    try {
        thread_ = std::thread([this, &session, &monitor = *monitor_] {
            report_ = ExtractAndReport(session, plan_, monitor);
            QMetaObject::invokeMethod(this, &ExtractionJob::onFinished, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // The system refused a thread (a limit on processes): nothing started, nothing held.
        monitor_.reset();
        use_.reset();
        plan_ = {};
        Q_EMIT finished("Extraction could not start: the system refused a new thread");
        return false;
    }
    ticker_.start();
    Q_EMIT busyChanged(true);
    return true;
}

void ExtractionJob::cancel() {
    if (monitor_) monitor_->requestCancel();
}

void ExtractionJob::onFinished() {
    ticker_.stop();
    thread_.join();
    const std::string report = std::move(report_);
    report_.clear();
    Q_EMIT progressed(monitor_->progress());
    monitor_.reset();
    use_.reset();
    plan_ = {};
    Q_EMIT busyChanged(false);
    Q_EMIT finished(report);
}

}  // namespace tarvix
