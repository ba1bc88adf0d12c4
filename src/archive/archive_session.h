#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "archive/source_stack.h"

namespace tarvix {

// The archive a front-end shows, with its entry table and folder index, opened, replaced and
// closed as one.
//
// The table and the index point into the archive's entry list in memory; they are valid
// exactly as long as the archive they were built from stays loaded in the same session. A
// session therefore only ever trades all three at once, and the addresses of archive(),
// table() and folders() never change: a view may keep references to them and sees the new
// archive after a replace.
//
// While something reads the archive on another thread (an extraction), it holds a Use; the
// session then refuses to replace or close what is being read.
//
// Not copyable, as neither the archive nor the index is.
class ArchiveSession {
public:
    // Loads `path` and builds its table and index in place of what the session held. A
    // refusal leaves the session closed; while the session is in use, nothing changes.
    DatArchive::LoadResult open(const std::filesystem::path& path);
    // Opens the stack the game installed in `dir` reads (OpenGameStack) in the same way. The
    // archive then has no file: its entry list is the stack's effective entries, entry i being
    // stack()->entries()[i] (StackEntryList), and `dir` is its path. Missing sources are left
    // out and named by missingSources(); the message of a refusal names why.
    DatArchive::LoadResult openGame(const std::filesystem::path& dir);
    // Shows a built stack as openGame does, `dir` standing for its path and `missing` for the
    // sources left out.
    DatArchive::LoadResult showStack(const std::filesystem::path& dir,
                                     std::unique_ptr<SourceStack> stack,
                                     std::vector<std::string> missing = {});
    // Takes over what `loaded` holds, and hands back what this one held, which closes with
    // `loaded`. Refused (false, nothing changes) while the session is in use.
    bool replaceWith(ArchiveSession& loaded);
    // Refused (false) while the session is in use.
    bool close();

    bool isOpen() const { return archive_.isLoaded(); }
    bool inUse() const { return users_ > 0; }
    const DatArchive& archive() const { return archive_; }
    const EntryTable& table() const { return table_; }
    const FolderIndex& folders() const { return folders_; }
    // The stack shown, or null when the session shows one archive.
    const SourceStack* stack() const { return stack_.get(); }
    // The sources the game would read that were not there when the stack shown was opened,
    // for the front-ends to tell the user; empty for one archive.
    const std::vector<std::string>& missingSources() const { return missing_; }

    // Keeps the session from being replaced or closed for as long as it lives. Made and
    // destroyed on the thread that owns the session.
    class Use {
    public:
        explicit Use(ArchiveSession& session) : session_(&session) { ++session_->users_; }
        ~Use() { --session_->users_; }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        ArchiveSession* session_;
    };

private:
    DatArchive archive_;
    EntryTable table_;
    FolderIndex folders_;
    std::unique_ptr<SourceStack> stack_;
    std::vector<std::string> missing_;
    std::size_t users_ = 0;
};

namespace messages {
inline constexpr const char* kSessionInUse = "The archive is in use by an extraction";
}  // namespace messages

}  // namespace tarvix
