#include "cli/watched_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>

namespace tarvix::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void NoteInterrupt(int) {
    gInterrupted = 1;
}

// SIGINT noted instead of ending the process, for as long as it lives.
class InterruptNote {
public:
    InterruptNote() : previous_(std::signal(SIGINT, NoteInterrupt)) {}
    ~InterruptNote() { std::signal(SIGINT, previous_); }
    InterruptNote(const InterruptNote&) = delete;
    InterruptNote& operator=(const InterruptNote&) = delete;

private:
    void (*previous_)(int);
};

constexpr auto kPollInterval = std::chrono::milliseconds(50);

}  // namespace

bool RunWatched(const std::function<void()>& job, BatchMonitor& monitor, ProgressLine& progress) {
    const InterruptNote note;
    gInterrupted = 0;
    std::future<void> done = std::async(std::launch::async, job);
    while (done.wait_for(kPollInterval) != std::future_status::ready) {
        if (gInterrupted) monitor.requestCancel();
        progress.update(monitor.progress());
    }
    done.get();
    progress.finish(monitor.progress());
    return gInterrupted != 0;
}

}  // namespace tarvix::cli
