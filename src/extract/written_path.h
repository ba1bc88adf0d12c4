#pragma once

#include <string>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "extract/entry_extractor.h"

namespace tarvix {

// Where below the target's destination extracting entry `index` puts its file, as UTF-8 with
// '/' between the components: PlanOutput's path, ".gz" included where the stored bytes are
// written wrapped. Two entries of one batch that have the same written path write the same
// file.
std::string WrittenPathOf(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target);

}  // namespace tarvix
