#pragma once

#include <functional>

#include "cli/progress_line.h"
#include "extract/batch_monitor.h"

namespace tarvix::cli {

// Runs `job` (a batch that reports to `monitor`) on another thread while this one redraws the
// progress line and turns Ctrl+C into a cancel request on the monitor, so that the engine stops
// cleanly (removing a partial file) instead of the process dying part-way. Returns whether
// Ctrl+C was pressed.
bool RunWatched(const std::function<void()>& job, BatchMonitor& monitor, ProgressLine& progress);

}  // namespace tarvix::cli
