#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "archive/unique_fd.h"

namespace tarvix {

// The folders one entry made on its way to its file, so that a failure can take them away
// again: deepest first, and each only while empty, so nothing that another entry or anyone
// else put there is touched. Each is removed by name from its parent held open since it was
// made, never through a path: a folder on the way swapped for a link meanwhile cannot send
// the removal elsewhere.
class MadeFolders {
public:
    // Folder `name` (as on disk) made in the open folder `parent`; false when `parent` cannot
    // be held (the folder is then left in place).
    bool add(int parent, std::string name);
    void removeAll();

private:
    struct Made {
        UniqueFd parent;
        std::string name;
    };
    std::vector<Made> made_;
};

// One worker's way into the folders below a destination. A folder path is walked a component
// at a time with openat(), which never follows a link and never leaves the folder it starts
// from, making the folders that are missing. The last folder walked to stays open, so the
// entries after it in the same folder (most of them, in directory order) need no lookup: this
// replaced the realistic archive's 96,000 lstat calls, each resolving a whole path, by a few
// thousand one-level opens, and unpacking it on one worker went from 3.3 to 2.8 s.
//
// Another worker's clean-up may remove a folder that is held open here, once it is empty;
// files cannot be made in it then (ENOENT), and forget() starts the next walk afresh.
class OutputFolders {
public:
    explicit OutputFolders(std::filesystem::path destination)
        : destination_(std::move(destination)) {}

    // The folder below the destination along `components` (cp1252; `key` names the path for
    // the reuse), opened for *at() calls, or an invalid descriptor with errno set: a component
    // is a link or no folder, or cannot be made. Folders made on the way are added to `made`.
    int enter(std::string_view key, const std::vector<std::string_view>& components,
              MadeFolders& made);

    // Closes whatever is held open.
    void forget();

private:
    int walk(const std::vector<std::string_view>& components, MadeFolders& made);

    std::filesystem::path destination_;
    UniqueFd root_;  // the destination; links in its own path are the user's choice to follow
    UniqueFd last_;  // the folder last walked to
    std::string lastKey_;
};

}  // namespace tarvix
