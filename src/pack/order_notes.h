#pragma once

#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"

namespace tarvix {

// What keeps the game from finding an archive's entries, though each entry is sound: its
// binary search needs the entries in its order (CompareGamePaths) and finds only one of two paths
// equal under that comparison. "<path>: <note>" lines (UTF-8), in directory order.
std::vector<std::string> OrderNotes(const DatArchive& archive, const EntryTable& table);

}  // namespace tarvix
