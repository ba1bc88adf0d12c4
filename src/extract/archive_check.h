#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "archive/batch_monitor.h"
#include "archive/dat_archive.h"
#include "archive/entry_table.h"

namespace tarvix {

struct ArchiveCheckReport {
    std::size_t total = 0;    // entries in the archive
    std::size_t checked = 0;  // entries checked to the end
    // "<path>: <problem>" (path in UTF-8), in directory order, an entry's problems in the
    // order CheckEntry gives them.
    std::vector<std::string> problems;
    // "<path>: <note>" for what extracts all the same but is odd: stored bytes outside the
    // data area, or overlapping another entry's. In directory order.
    std::vector<std::string> notes;
    bool cancelled = false;
};

struct CheckOptions {
    // Worker threads; 0 for one per core.
    unsigned threads = 0;
    // Progress (stored bytes read) and cancel, for whoever watches from another thread; it is
    // marked finished at the end.
    BatchMonitor* monitor = nullptr;
};

// Runs CheckEntry over every entry of the loaded archive, in parallel. The report is the same
// whatever the number of workers.
ArchiveCheckReport CheckArchive(const DatArchive& archive, const EntryTable& table,
                                const CheckOptions& options = {});

}  // namespace tarvix
