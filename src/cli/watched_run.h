#pragma once

#include <csignal>
#include <functional>

#include "archive/batch_monitor.h"
#include "cli/progress_line.h"

namespace tarvix::cli {

// The signals that ask tarvix-cli to stop: Ctrl+C, kill's default, a closed terminal.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Runs `job` (a batch that reports to `monitor`) on another thread while this one redraws the
// progress line and turns the first stop signal into a cancel request on the monitor, so that
// the engine stops cleanly (removing a partial file and the folders made for it) instead of the
// process dying part-way. A second stop signal ends the process at once, with the status a
// shell gives for that signal, after removing the temporary files being written. Returns the
// first stop signal that arrived, or 0.
int RunWatched(const std::function<void()>& job, BatchMonitor& monitor, ProgressLine& progress);

// The exit status for a run stopped by `signal`: 128 plus its number, as a shell reports it.
inline int StoppedStatus(int signal) {
    return 128 + signal;
}

}  // namespace tarvix::cli
