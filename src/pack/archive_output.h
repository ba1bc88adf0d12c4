#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "archive/unique_fd.h"

namespace tarvix {

// The new archive while it is written: a file beside the one it replaces, given that name
// only once it is complete and on disk, so that at every moment the name holds either the old
// archive or the new one, whole.
//
// Where the file system allows, the file has no name at all until then (O_TMPFILE): a kill at
// any moment leaves nothing behind. Elsewhere it has a hidden temporary name, removed on any
// failure and on cancel; only a kill can leave that one behind.
class ArchiveOutput {
public:
    ArchiveOutput() = default;
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;
    ~ArchiveOutput() { discard(); }

    // Opens the new file in `target`'s folder. `mode` is the new file's permissions, as far
    // as the umask lets them. False, with `error()` set, when it cannot be made.
    bool open(const std::filesystem::path& target, unsigned mode);

    bool write(std::span<const std::uint8_t> bytes);
    // Appends `length` bytes of `source` from `offset` without passing them through this
    // process where the kernel can copy them itself.
    bool copyFrom(int source, std::uint64_t offset, std::uint64_t length);
    std::uint64_t position() const { return position_; }
    // Forgets everything after `position`, to write something else there instead.
    bool truncateTo(std::uint64_t position);

    // Flushes the file to disk, gives it the target's name (replacing what is there) and
    // flushes the folder. False, with `error()` set and nothing left behind, when that fails.
    bool commit();
    // Removes the new file, if it is still there.
    void discard();

    const std::string& error() const { return error_; }

private:
    bool fail(const char* what);
    bool openUnnamed();
    bool openNamed();
    bool linkUnnamed();

    std::filesystem::path target_;
    std::filesystem::path folderPath_;
    UniqueFd folder_;
    UniqueFd file_;
    std::string temporaryName_;  // empty while the file has no name
    unsigned mode_ = 0644;
    std::uint64_t position_ = 0;
    std::string error_;
};

}  // namespace tarvix
