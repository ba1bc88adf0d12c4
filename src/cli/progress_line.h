#pragma once

#include <chrono>
#include <string>

#include "archive/batch_monitor.h"

namespace tarvix::cli {

// "120/23000 files, 14.2/277.0 MB, 95.3 MB/s": files done, stored megabytes read (10^6
// bytes), and the rate since the start.
std::string ProgressText(const BatchMonitor::Progress& progress, double seconds);

// The one-line progress on stderr while a batch runs, redrawn in place. It draws only when
// enabled (stderr is a terminal and no -q), and at most ten times a second.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled);

    // Whether stderr is a terminal, where a line redrawn in place makes sense.
    static bool StderrIsTerminal();

    void update(const BatchMonitor::Progress& progress);
    // The last state, left on its own line.
    void finish(const BatchMonitor::Progress& progress);

private:
    using Clock = std::chrono::steady_clock;
    void draw(const BatchMonitor::Progress& progress);

    bool enabled_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    bool drawn_ = false;
};

}  // namespace tarvix::cli
