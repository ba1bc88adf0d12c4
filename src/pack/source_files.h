#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvix {

// A file to pack, found on disk.
struct SourceFile {
    std::string name;  // internal path, Windows-1252
    std::filesystem::path path;
    std::uint64_t size = 0;  // when it was found; packing checks it again
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
// below it), named by their path relative to `base`. Symbolic links are never followed.
// Folders are walked in whatever order the file system lists them; the result does not
// depend on it.
SourceScan ScanSources(const std::filesystem::path& base, const std::vector<std::string>& paths);

}  // namespace tarvix
