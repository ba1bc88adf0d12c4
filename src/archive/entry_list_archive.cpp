// An entry list made in memory, with no file behind it: what a stack of sources shows as one
// archive. Nothing can be read through it (readAt finds no file), so its entries are read from
// the sources they stand for.

#include <utility>

#include "archive/dat_archive.h"

namespace tarvix {

void DatArchive::loadEntryList(const std::filesystem::path& path,
                               std::vector<std::uint8_t> entryList, std::size_t entries) {
    CloseArchive();
    path_ = path;
    dirBlockSize_ = entryList.size();
    dirBlock_ = std::make_unique<std::uint8_t[]>(dirBlockSize_);
    std::copy(entryList.begin(), entryList.end(), dirBlock_.get());
    entryCount_ = entries;
    treeSize_ = 0;
    dataSize_ = 0;
    loaded_ = true;
}

}  // namespace tarvix
