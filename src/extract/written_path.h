#pragma once

#include <string>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "extract/entry_extractor.h"

namespace tarvix {

// Where below the target's destination extracting entry `index` puts its file, as UTF-8 with
// '/' between the components: OutputPathOf, with ".gz" where the stored bytes are written
// wrapped (no unpacking, stored bytes that begin 78 DA). Two entries of one batch that have
// the same written path write the same file. Reads the first two stored bytes when the
// wrapping depends on them.
std::string WrittenPathOf(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target);

}  // namespace tarvix
