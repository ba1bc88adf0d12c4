#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/unique_fd.h"

namespace tarvix {

// An entry's output while it is written: a new file under a temporary name in its folder,
// given its real name once complete and removed otherwise. A failure part-way thus leaves
// nothing behind and loses no file that was there before.
//
// The temporary name carries 64 random bits, so no entry of an archive can name it: neither
// can another entry's output be renamed onto a file still being written, nor can a file being
// written take an entry's name. Leftovers of an interrupted run are never in the way either.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { discard(); }

    // Creates it in `folder` (a descriptor for *at() calls) under a fresh name that nothing
    // there has, a link included. False, with error() set, when it cannot be made.
    bool create(int folder);

    // False, with error() set, when the data could not be kept.
    bool write(const std::uint8_t* data, std::size_t size);

    // Closes it and gives it the name `name` (UTF-8) in its folder, replacing a file or a link
    // of that name. False, with error() set and the temporary file gone, when either fails.
    bool commit(const std::string& name);

    // Removes it, if it is still there.
    void discard();

    // The errno of the last failure.
    int error() const { return error_; }

private:
    friend void RemoveTemporaryFilesForExit();

    int folder_ = -1;
    UniqueFd file_;
    std::string name_;
    int error_ = 0;
};

// For a process about to end at once (a second interrupt): removes every temporary file being
// written, in every thread, and keeps any more from being made or renamed until the process
// ends. It does not return the lock it takes, so it must be followed by _exit().
void RemoveTemporaryFilesForExit();

}  // namespace tarvix
