#include "cli/watched_run.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <future>

#include "extract/temporary_file.h"
#include "pack/archive_output.h"

namespace tarvix::cli {
namespace {

volatile std::sig_atomic_t gFirstSignal = 0;
volatile std::sig_atomic_t gSignals = 0;

extern "C" void NoteStopSignal(int signal) {
    if (gFirstSignal == 0) gFirstSignal = signal;
    gSignals = gSignals + 1;
}

// The stop signals noted instead of ending the process, for as long as it lives. A signal the
// process was started ignoring (nohup's SIGHUP, SIGINT of a job started with '&' by a script)
// stays ignored: whoever started it asked for the run to outlive that signal.
class StopSignalNote {
public:
    StopSignalNote() {
        gFirstSignal = 0;
        gSignals = 0;
        struct sigaction note {};
        note.sa_handler = NoteStopSignal;
        sigemptyset(&note.sa_mask);
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler == SIG_IGN) continue;
            sigaction(kStopSignals[i], &note, nullptr);
        }
    }
    ~StopSignalNote() {
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], &previous_[i], nullptr);
        }
    }
    StopSignalNote(const StopSignalNote&) = delete;
    StopSignalNote& operator=(const StopSignalNote&) = delete;

private:
    struct sigaction previous_[std::size(kStopSignals)]{};
};

constexpr auto kPollInterval = std::chrono::milliseconds(50);

// The stop signals blocked in the calling thread while it lives, so that threads started
// meanwhile inherit the block: the signals then reach only the thread that watches the run.
// A worker interrupted by one would see EINTR from calls that do not retry, and two signals
// taken on two threads at once could be counted as one.
class StopSignalsBlocked {
public:
    StopSignalsBlocked() {
        sigset_t stop;
        sigemptyset(&stop);
        for (int signal : kStopSignals) sigaddset(&stop, signal);
        pthread_sigmask(SIG_BLOCK, &stop, &previous_);
    }
    ~StopSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

private:
    sigset_t previous_{};
};

std::future<void> StartWithoutStopSignals(const std::function<void()>& job) {
    const StopSignalsBlocked blocked;
    return std::async(std::launch::async, job);
}

}  // namespace

int RunWatched(const std::function<void()>& job, BatchMonitor& monitor, ProgressLine& progress) {
    const StopSignalNote note;
    std::future<void> done = StartWithoutStopSignals(job);
    while (done.wait_for(kPollInterval) != std::future_status::ready) {
        // Looked at before the first signal is passed on as a cancel: only that cancel would
        // end the batch early, so two signals that came together always end the process.
        if (gSignals >= 2) {
            RemoveTemporaryFilesForExit();
            RemoveNewArchivesForExit();
            ::_exit(StoppedStatus(gFirstSignal));
        }
        if (gSignals >= 1) monitor.requestCancel();
        progress.update(monitor.progress());
    }
    done.get();
    progress.finish(monitor.progress());
    return gFirstSignal;
}

}  // namespace tarvix::cli
