#pragma once

#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"

namespace tarvix::cli {

struct Selection {
    std::vector<EntryIndex> entries;     // in directory order
    std::vector<std::string> unmatched;  // patterns that selected nothing, as typed
};

// The entries that any of `patterns` selects (NamePattern, a plain pattern naming one entry
// or one folder with everything below it), or every entry when there are none.
Selection SelectEntries(const DatArchive& archive, const EntryTable& table,
                        const std::vector<std::string>& patterns);

// Names each unmatched pattern on stderr; true when there was any.
bool ReportUnmatched(const Selection& selection);

}  // namespace tarvix::cli
