#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvix {

// A regular file found below a folder source.
struct FolderFile {
    // Its path below the folder as an archive would name it: components joined by '\', in
    // Windows-1252 when the name on disk is UTF-8 that the code page can hold, otherwise the
    // bytes on disk.
    std::string name;
    std::filesystem::path relative;  // the same path for opening it below the folder
    std::uint64_t size = 0;          // 0 when listed without measuring
};

// Every regular file below `root`, in the order the walk meets them. Links are never
// followed (a link to a folder is not entered, a link to a file is not listed), so nothing
// outside `root` is listed; sub-folders that cannot be read are passed over. A name holding
// a backslash is left out, since it would read as a path of several components. Nothing when
// `root` itself cannot be read as a folder. With `measure` false, sizes are left 0 and are not
// read: what looking names up needs, at about half the cost. The same files are listed either
// way, but for one that vanishes during the walk.
std::optional<std::vector<FolderFile>> ListFolderFiles(const std::filesystem::path& root,
                                                       bool measure = true);

}  // namespace tarvix
