#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#ifdef _WIN32
#include <fstream>
#include <mutex>
#endif

namespace tarvix {

// The archive's file, opened once for reading. A read names its position and moves no shared
// file pointer, so the extraction's worker threads read from one open file at the same time.
class ArchiveFile {
public:
    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    void swap(ArchiveFile& other) noexcept;
    ~ArchiveFile() { close(); }

    bool open(const std::filesystem::path& path);
    // Opens `relative` below the folder `root` without following a link in any of its
    // components, so that a file listed in a folder is read from that folder and nowhere else.
    // Only a regular file opens: a FIFO or device put in its place must not block the reader.
    bool openBelow(const std::filesystem::path& root, const std::filesystem::path& relative);
    void close();
    bool isOpen() const;

    // Whether the open descriptor `fd` is this very file (not another one under the same name
    // now) and nothing has changed its length or its modification time since it was opened:
    // a file rewritten in place after its entry list was read is not the file that was read.
    // Never true on platforms without file identities.
    bool unchangedSinceOpened(int fd) const;

    // The modification time when it was opened, in nanoseconds since the epoch; nothing
    // where it cannot be had.
    std::optional<std::int64_t> modifiedWhenOpened() const;

    // The file's length now, or nothing when it cannot be had.
    std::optional<std::uint64_t> length() const;
    // Whether it is a regular file: a FIFO or a device has no length that says what reading
    // it would give, or when reading it would end.
    bool isRegularFile() const;

    // Reads up to `size` bytes at `offset`; returns how many arrived (fewer only at the end of
    // the file or on an error). Safe to call from several threads at once.
    std::size_t readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const;

private:
#ifdef _WIN32
    mutable std::mutex mutex_;
    mutable std::ifstream stream_;
#else
    void noteOpened();

    int fd_ = -1;
    // What the file was when it was opened: device, inode, length, modification time.
    struct Stamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t length = -1, seconds = 0, nanoseconds = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    static std::optional<Stamp> StampOf(int fd);
    std::optional<Stamp> opened_;
#endif
};

}  // namespace tarvix
