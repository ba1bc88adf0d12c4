#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"

namespace tarvix::cli {

struct Selection {
    std::vector<EntryIndex> entries;     // in directory order
    std::vector<std::string> unmatched;  // patterns that selected nothing, as typed
};

// The positions 0 .. count-1 whose names (`nameOf`, Windows-1252) any of `patterns` selects,
// or every position when there are none; each pattern that selected nothing is noted.
Selection SelectByName(std::size_t count,
                       const std::function<std::string_view(std::size_t)>& nameOf,
                       const std::vector<std::string>& patterns);

// The entries that any of `patterns` selects (NamePattern, a plain pattern naming one entry
// or one folder with everything below it), or every entry when there are none.
Selection SelectEntries(const DatArchive& archive, const EntryTable& table,
                        const std::vector<std::string>& patterns);

// Names each unmatched pattern on stderr; true when there was any.
bool ReportUnmatched(const Selection& selection);

}  // namespace tarvix::cli
