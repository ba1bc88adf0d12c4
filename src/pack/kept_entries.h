#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "pack/pack_plan.h"

namespace tarvix {

struct KeptEntries {
    std::vector<KeptEntry> entries;
    // Why the archive cannot be rewritten (an entry to keep whose stored bytes lie outside the
    // data area, so there is nothing sound to copy); empty when it can.
    std::string problem;
};

// The entries of the loaded `archive` for which `keep` holds, given their Windows-1252 name.
KeptEntries KeepEntries(const DatArchive& archive, const EntryTable& table,
                        const std::function<bool(EntryIndex, std::string_view)>& keep);

}  // namespace tarvix
