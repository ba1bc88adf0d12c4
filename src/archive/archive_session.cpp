#include "archive/archive_session.h"

#include <utility>

namespace tarvix {

// Loaded into a session of its own first, so that a refusal leaves no table or index pointing
// into an entry list that is gone.
DatArchive::LoadResult ArchiveSession::open(const std::filesystem::path& path) {
    ArchiveSession loaded;
    DatArchive::LoadResult result = loaded.archive_.load(path);
    if (result.ok) loaded.folders_.BuildFolderTree(loaded.archive_, loaded.table_);
    if (!replaceWith(loaded)) return {false, messages::kSessionInUse, {}};
    return result;
}

// The archive's entry list moves with the swap without changing its address, so the table and
// the index, moved alongside, keep pointing into it.
bool ArchiveSession::replaceWith(ArchiveSession& loaded) {
    if (inUse() || loaded.inUse()) return false;
    archive_.swap(loaded.archive_);
    std::swap(table_, loaded.table_);
    std::swap(folders_, loaded.folders_);
    return true;
}

bool ArchiveSession::close() {
    if (inUse()) return false;
    ArchiveSession empty;
    return replaceWith(empty);
}

}  // namespace tarvix
