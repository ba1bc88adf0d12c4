// An entry list made in memory, with no file behind it: what a stack of sources shows as one
// archive. Nothing can be read through it (readAt finds no file), so its entries are read from
// the sources they stand for.

#include <utility>

#include "archive/dat_archive.h"

namespace tarvix {

// Taken over, not copied: a copy cost the window's open of a game-size stack a few per cent
// (bench/stack_bench.cpp, stack/paired).
void DatArchive::loadEntryList(const std::filesystem::path& path, LargeBlock entryList,
                               std::size_t bytes, std::size_t entries) {
    CloseArchive();
    path_ = path;
    dirBlockSize_ = bytes;
    dirBlock_ = std::move(entryList);
    entryCount_ = entries;
    treeSize_ = 0;
    dataSize_ = 0;
    loaded_ = true;
}

}  // namespace tarvix
