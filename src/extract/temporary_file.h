#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "extract/unique_fd.h"

namespace tarvix {

// An entry's output while it is written: a new file under a temporary name in its folder,
// given its real name once complete and removed otherwise. A failure part-way thus leaves
// nothing behind and loses no file that was there before.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { discard(); }

    // Creates it in `folder` (a descriptor for *at() calls) under a name that nothing there
    // has, a link included; `worker` picks the first name tried, so that the workers of one
    // batch do not take turns on one name. False, with errno set, when it cannot be made.
    bool create(int folder, unsigned worker);

    bool write(const std::uint8_t* data, std::size_t size);

    // Closes it and gives it the name `name` (UTF-8) in its folder, replacing a file or a link
    // of that name. False, and the temporary file gone, when either fails.
    bool commit(const std::string& name);

    // Removes it, if it is still there.
    void discard();

private:
    int folder_ = -1;
    UniqueFd file_;
    std::string name_;
};

}  // namespace tarvix
