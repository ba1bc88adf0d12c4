#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace tarvix {

// A file as another program would have to change it to go unnoticed: the same inode, size and
// modification time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    static FileIdentity Of(const struct stat& status) {
        return {static_cast<std::uint64_t>(status.st_dev),
                static_cast<std::uint64_t>(status.st_ino),
                static_cast<std::int64_t>(status.st_size),
                static_cast<std::int64_t>(status.st_mtim.tv_sec),
                static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
    }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What the new archive may take the place of under its name, judged at the moment of the
// rename: whatever another program put there meanwhile would otherwise be lost in silence.
struct ReplaceRule {
    enum class Kind {
        Anything,    // whatever is there (create --force)
        Nothing,     // only an empty name (create, add of a new archive)
        TheFileRead  // only the archive whose entries were read and copied (add, delete)
    };
    Kind kind = Kind::Nothing;  // a caller that forgets the rule loses nothing
    FileIdentity read;          // for TheFileRead
};

}  // namespace tarvix
