#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_files.h"

namespace tarvix {

// One source of a stack: an archive, whatever DatArchive::load accepts, or a folder on disk
// whose files are stored entries named by their path below it.
class StackSource {
public:
    enum class Kind { Archive, Folder };

    struct Opened {
        std::unique_ptr<StackSource> source;  // null when refused
        std::string error;                    // why, for the user, when refused
    };
    // Opens `path`: a folder when it is one, an archive otherwise. `label` is how the user
    // sees the source named (the path as given, or as found on disk).
    // `measureFiles` false leaves a folder's file sizes 0 (see ListFolderFiles).
    static Opened Open(const std::filesystem::path& path, std::string label,
                       bool measureFiles = true);

    Kind kind() const { return kind_; }
    const std::string& label() const { return label_; }
    const std::filesystem::path& path() const { return path_; }

    std::size_t entryCount() const;
    // The internal path of entry `index` (Windows-1252 bytes). Valid as long as the source.
    std::string_view entryName(std::uint32_t index) const;

    // Archives only: the loaded archive and its entry table.
    const DatArchive& archive() const { return archive_; }
    const EntryTable& table() const { return table_; }
    // Folders only: the files found.
    const std::vector<FolderFile>& files() const { return files_; }

    // Entry `index` as an archive of its own when it is a folder's file (see
    // DatArchive::loadLooseFile), so that it is read as a stored entry; false when it cannot
    // be opened now.
    bool openLooseFile(std::uint32_t index, DatArchive& into) const;

private:
    Kind kind_ = Kind::Archive;
    std::string label_;
    std::filesystem::path path_;
    DatArchive archive_;
    EntryTable table_;
    std::vector<FolderFile> files_;
};

}  // namespace tarvix
