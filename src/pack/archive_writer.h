#pragma once

#include <cstdint>
#include <string>

#include "archive/batch_monitor.h"
#include "pack/archive_output.h"
#include "pack/pack_plan.h"

namespace tarvix {

struct PackOptions {
    int level = 9;         // 0 stores everything
    unsigned threads = 0;  // packing workers; 0 for one per core
    // Files larger than this are packed as a stream, one chunk at a time, so that memory does
    // not grow with the files' sizes.
    std::uint64_t streamAbove = std::uint64_t{4} << 20;
    BatchMonitor* monitor = nullptr;  // progress (bytes read) and cancel
    OutputSystemCalls system;         // the real ones but in tests
};

struct PackReport {
    bool written = false;    // the new archive has the target's name
    bool cancelled = false;  // stopped on request; nothing written
    // Nothing written: something came to have the target's name, which the plan forbade
    // replacing.
    bool targetExists = false;
    // Why nothing was written, for the user; or, with `written`, why the new archive may still
    // be lost in a crash.
    std::string error;
    std::size_t entries = 0;
    std::uint64_t size = 0;  // of the new archive
};

// What the new archive would at most weigh, and whether that fits the format's 32-bit sizes:
// empty when it does, else why not. Checked before anything is written.
std::string SizeProblem(const PackPlan& plan);

// Writes the archive: the kept entries' stored bytes copied in their old order, then the added
// files packed on every core, then the entry list in the game's order and the trailer. The
// bytes depend only on the plan and the level, never on the number of workers.
PackReport WriteArchive(const PackPlan& plan, const PackOptions& options);

}  // namespace tarvix
