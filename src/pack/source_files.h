#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/unique_fd.h"
#include "pack/beneath_folder.h"

namespace tarvix {

// A file to pack, found on disk.
struct SourceFile {
    std::string name;            // internal path, Windows-1252
    std::filesystem::path path;  // for messages
    std::uint64_t size = 0;      // when it was found; packing checks it again
    // Where it is opened from: `relative` below the folder being packed, which stays open so
    // that the file is found again where it was found, through no link.
    std::filesystem::path relative;
    std::shared_ptr<const UniqueFd> folder;
};

struct SourceScan {
    // Sorted in the game's order, no two equal under its comparison.
    std::vector<SourceFile> files;
    // Why nothing may be written (a name refused, two names equal, a PATH missing), one line
    // each; the scan goes on to name them all.
    std::vector<std::string> refusals;
    // What was left out (links, devices), one line each; the rest is packed.
    std::vector<std::string> skipped;
};

// The files at `paths` (relative to `base` unless absolute; a folder stands for every file
// below it), named by their path relative to `base`. No symbolic link below `base` is
// followed, neither at a PATH nor on the way to it. Folders are walked in whatever order the
// file system lists them; the result does not depend on it.
SourceScan ScanSources(const std::filesystem::path& base, const std::vector<std::string>& paths,
                       BeneathWalk walk = BeneathWalk::Best);

}  // namespace tarvix
