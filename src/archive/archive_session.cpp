#include "archive/archive_session.h"

#include <new>
#include <utility>

#include "archive/game_stack.h"
#include "archive/stack_entry_list.h"

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

// A game's stack is sized by what its sources hold; running out of memory for it refuses the
// folder as it refuses one archive, leaving the session as it was.
DatArchive::LoadResult ArchiveSession::openGame(const std::filesystem::path& dir) {
    try {
        OpenedGameStack opened = OpenGameStack(dir);
        if (!opened.stack) return {false, opened.error, {}};
        return showStack(dir, std::move(opened.stack), std::move(opened.missing));
    } catch (const std::bad_alloc&) {
        return {false, messages::kNoMemory, {}};
    }
}

DatArchive::LoadResult ArchiveSession::showStack(const std::filesystem::path& dir,
                                                 std::unique_ptr<SourceStack> stack,
                                                 std::vector<std::string> missing) {
    try {
        ArchiveSession loaded;
        LaidOutEntries list = StackEntryList(*stack);
        loaded.archive_.loadEntryList(dir, std::move(list.bytes), list.size, list.entries);
        loaded.folders_.BuildStackTree(loaded.archive_, *stack, loaded.table_);
        loaded.stack_ = std::move(stack);
        loaded.missing_ = std::move(missing);
        if (!replaceWith(loaded)) return {false, messages::kSessionInUse, {}};
        return {true, {}, {}};
    } catch (const std::bad_alloc&) {
        return {false, messages::kNoMemory, {}};
    }
}

// The archive's entry list moves with the swap without changing its address, so the table and
// the index, moved alongside, keep pointing into it.
bool ArchiveSession::replaceWith(ArchiveSession& loaded) {
    if (inUse() || loaded.inUse()) return false;
    archive_.swap(loaded.archive_);
    std::swap(table_, loaded.table_);
    std::swap(folders_, loaded.folders_);
    std::swap(stack_, loaded.stack_);
    std::swap(missing_, loaded.missing_);
    return true;
}

bool ArchiveSession::close() {
    if (inUse()) return false;
    ArchiveSession empty;
    return replaceWith(empty);
}

}  // namespace tarvix
