#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_format.h"
#include "archive/large_block.h"

namespace tarvix {

// The one archive of a run: its open file, its trailer and its entry list in memory.
//
// Fallout 2 layout: stored data, FilesTotal (4), entry list (TreeSize - 4), then the trailer
// TreeSize (4) and DataSize (4). DataSize must equal the file's length.
// A file whose trailer does not hold is read as Fallout 1's layout (see ReadDat1), whose
// records are laid out as an entry list in memory; its DataSize is the file's length and its
// TreeSize 0. Which one a file is follows from its contents alone, never its name.
class DatArchive {
public:
    static constexpr std::uint32_t kTrailerBytes = 8;

    DatArchive() = default;
    DatArchive(const DatArchive&) = delete;
    DatArchive& operator=(const DatArchive&) = delete;
    ~DatArchive() { CloseArchive(); }

    // Trades everything with `other`: how a window takes over an archive that loaded, keeping
    // the one it had until then.
    void swap(DatArchive& other) noexcept;

    struct LoadResult {
        bool ok = false;
        std::string message;        // why the file was refused; empty when it could not be opened
        std::error_code openError;  // why it could not be opened: missing, a folder, no access
    };
    // Opens and checks `path` without asking anyone; the front-ends say what a refusal means.
    LoadResult load(const std::filesystem::path& path);

    // Opens the plain file `relative` below the folder `root` as an archive of one stored
    // entry named `name` that holds the whole file, so that a file of a folder source is read,
    // checked and extracted exactly as a stored entry is. Links are not followed. False when
    // the file cannot be opened or holds 4 GiB or more (beyond what an entry can describe).
    bool loadLooseFile(const std::filesystem::path& root, const std::filesystem::path& relative,
                       std::string_view name);

    // Takes `entryList`, `entries` whole records in its first `bytes` bytes laid out as a
    // Fallout 2 entry list, as the entry list of an archive that has no file: `path` names what
    // it shows, and every read of stored bytes finds nothing. The records are trusted: they are
    // made by this program.
    void loadEntryList(const std::filesystem::path& path, LargeBlock entryList, std::size_t bytes,
                       std::size_t entries);

    // Releases the entry list and closes the file.
    void CloseArchive();

    bool isLoaded() const { return loaded_; }
    // Whether `fd` is open on the very file this archive was loaded from, unchanged since.
    bool isUnchangedFile(int fd) const { return file_.unchangedSinceOpened(fd); }
    // The file's modification time when it was opened, in nanoseconds since the epoch.
    std::optional<std::int64_t> fileModifiedWhenOpened() const {
        return file_.modifiedWhenOpened();
    }
    ArchiveFormat format() const { return format_; }
    const std::filesystem::path& path() const { return path_; }
    std::uint32_t dataSize() const { return dataSize_; }
    std::uint32_t treeSize() const { return treeSize_; }
    // Bytes from the file's start up to FilesTotal: where the entries' stored bytes belong,
    // since everything after is the entry list and the trailer. Only while loaded.
    // A DAT1 file has no such end: its stored bytes may lie anywhere in the file. An entry
    // list with no file behind it (loadEntryList) has no data area at all: 0, never a size
    // wrapped around below zero.
    std::uint64_t dataAreaSize() const {
        if (!file_.isOpen()) return 0;
        if (format_ == ArchiveFormat::Dat1) return dataSize_;
        const std::uint64_t listAndTrailer = std::uint64_t{treeSize_} + kTrailerBytes;
        return dataSize_ < listAndTrailer ? 0 : dataSize_ - listAndTrailer;
    }
    // Number of whole entries in the entry list, counted while checking it.
    std::size_t entryCount() const { return entryCount_; }

    // The entry list as loaded ("DirBlock"). Every entry in it fits exactly.
    std::span<const std::uint8_t> dirBlock() const { return {dirBlock_.get(), dirBlockSize_}; }

    // Reads up to `size` bytes at `offset` of the archive file; returns how many arrived.
    // Any number of threads may read at once.
    std::size_t readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const;

private:
    LoadResult refuse(std::string message);
    // Takes the file as DAT1 when it is one completely; `dat2Refusal` otherwise.
    LoadResult loadDat1(std::uint64_t length, std::string dat2Refusal);

    std::filesystem::path path_;
    ArchiveFile file_;
    std::uint32_t dataSize_ = 0;
    std::uint32_t treeSize_ = 0;
    LargeBlock dirBlock_;
    std::size_t dirBlockSize_ = 0;
    std::size_t entryCount_ = 0;
    bool loaded_ = false;
    ArchiveFormat format_ = ArchiveFormat::Dat2;
};

// Messages of loading, as the user sees them.
namespace messages {
inline constexpr const char* kCannotOpen = "Cannot open DAT file :(";
inline constexpr const char* kSizeMismatch =
    "Not a valid DAT file (DataSize does not match real file size)";
inline constexpr const char* kTooShort =
    "Not a valid DAT file (the file is shorter than its 8-byte trailer)";
inline constexpr const char* kTreeTooSmall = "Not a valid DAT file (TreeSize is smaller than 4)";
inline constexpr const char* kTreeTooLarge =
    "Not a valid DAT file (TreeSize is larger than the file can hold)";
inline constexpr const char* kShortDirTree =
    "Not a valid DAT file (the DirTree cannot be read completely)";
inline constexpr const char* kEntryOverrun =
    "Not a valid DAT file (an entry runs past the end of the DirTree)";
inline constexpr const char* kNoMemory = "Not enough memory for DirTree heap allocation";
}  // namespace messages

}  // namespace tarvix
