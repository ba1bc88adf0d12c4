#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include <unistd.h>

#include "archive/unique_fd.h"
#include "pack/replace_rule.h"

namespace tarvix {

// Whether this process may link a file by its descriptor alone (linkat with AT_EMPTY_PATH),
// which takes CAP_DAC_READ_SEARCH.
bool MayLinkByDescriptor();

// The system calls the new archive's naming rests on. Tests put in their own to provoke the
// failures that cannot be brought about from outside; everything else uses the real ones.
struct OutputSystemCalls {
    int (*fsync)(int fd) = ::fsync;
    int (*renameat2)(int, const char*, int, const char*, unsigned) = ::renameat2;
    int (*linkat)(int, const char*, int, const char*, int) = ::linkat;
    bool (*mayLinkByDescriptor)() = MayLinkByDescriptor;
    // Where the process's descriptors show as links; missing in a chroot or a container
    // without /proc.
    const char* descriptorFolder = "/proc/self/fd";
    // Called once the new file has a name, just before it takes the target's.
    void (*beforeRename)() = nullptr;
};

// The new archive while it is written: a file beside the one it replaces, given that name
// only once it is complete and on disk, so that at every moment the name holds either the old
// archive or the new one, whole.
//
// Where the file system allows, the file has no name at all until then (O_TMPFILE): a kill at
// any moment leaves nothing behind. Elsewhere, and for the moment between naming it and the
// rename, it has a hidden temporary name, removed on any failure, on cancel and by
// RemoveNewArchivesForExit(); only a kill can leave that one behind.
class ArchiveOutput {
public:
    enum class Commit {
        Done,
        // The new archive has the target's name, but the folder could not be flushed: after a
        // crash the name may hold the old archive again, or nothing.
        NotFlushed,
        // The new archive has the target's name, and a second name it had on the way stayed.
        SecondNameLeft,
        // Nothing was changed: the rule forbade replacing what has the target's name now.
        TargetExists,
        TargetChanged,
        Failed,  // error() says why; nothing was changed
    };

    explicit ArchiveOutput(OutputSystemCalls system = {}) : system_(system) {}
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;
    ~ArchiveOutput() { discard(); }

    // Opens the new file in `target`'s folder. `mode` is the new file's permissions, as far
    // as the umask lets them. False, with `error()` set, when it cannot be made.
    bool open(const std::filesystem::path& target, unsigned mode);

    bool write(std::span<const std::uint8_t> bytes);
    // Appends `length` bytes of `source` from `offset` without passing them through this
    // process where the kernel can copy them itself. `chunkDone` hears of every chunk copied
    // and stops the copy by returning false; then this returns false with `stopped()` set.
    bool copyFrom(int source, std::uint64_t offset, std::uint64_t length,
                  const std::function<bool(std::uint64_t bytes)>& chunkDone = {});
    std::uint64_t position() const { return position_; }
    // Forgets everything after `position`, to write something else there instead.
    bool truncateTo(std::uint64_t position);
    bool stopped() const { return stopped_; }

    // Flushes the file to disk, gives it the target's name where `rule` allows it and flushes
    // the folder. Unless Done or NotFlushed, nothing is left behind and `error()` says why.
    Commit commit(const ReplaceRule& rule);
    // Removes the new file, if it is still there.
    void discard();

    const std::string& error() const { return error_; }

private:
    friend void RemoveNewArchivesForExit();
    enum class Naming { Unnamed, ByDescriptorLink, Named };

    bool fail(const char* what);
    bool openUnnamed();
    bool openNamed();
    bool nameUnnamed();
    bool linkUnnamed(const std::string& name);
    Commit failCommit(const char* what);
    bool targetIsTheFileRead(const FileIdentity& read);
    Commit renameOntoTarget(const ReplaceRule& rule);
    int renameWithoutReplacing();

    OutputSystemCalls system_;
    std::string targetName_;  // in the folder
    UniqueFd folder_;
    UniqueFd file_;
    Naming naming_ = Naming::Named;
    std::string temporaryName_;  // empty while the file has no name
    unsigned mode_ = 0644;
    std::uint64_t position_ = 0;
    bool stopped_ = false;
    std::string error_;
    std::string leftOver_;  // a temporary name that could not be removed after the rename
};

// For a process about to end at once (a second interrupt): removes every new archive that has
// a temporary name, in every thread, and keeps any more from being named or renamed until the
// process ends. It does not return the lock it takes, so it must be followed by _exit().
void RemoveNewArchivesForExit();

}  // namespace tarvix
