#include "archive/archive_file.h"

#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/open_without_waiting.h"
#endif

namespace tarvix {

#ifndef _WIN32

void ArchiveFile::swap(ArchiveFile& other) noexcept {
    std::swap(fd_, other.fd_);
    std::swap(opened_, other.opened_);
}

std::optional<ArchiveFile::Stamp> ArchiveFile::StampOf(int fd) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return std::nullopt;
    return Stamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                 static_cast<std::int64_t>(info.st_size),
                 static_cast<std::int64_t>(info.st_mtim.tv_sec),
                 static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

// Taken before anything is read, so that a change while the entry list is read shows too.
void ArchiveFile::noteOpened() {
    opened_ = StampOf(fd_);
}

bool ArchiveFile::open(const std::filesystem::path& path) {
    close();
    // A FIFO opened without waiting for a writer has no length, and is refused as too short.
    fd_ = OpenWithoutWaiting(
        [&](int added) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | added); });
    noteOpened();
    return fd_ >= 0;
}

bool ArchiveFile::openBelow(const std::filesystem::path& root,
                            const std::filesystem::path& relative) {
    close();
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::filesystem::path file = relative.filename();
    for (const std::filesystem::path& component : relative.parent_path()) {
        if (folder < 0) break;
        if (component == "..") {
            ::close(folder);
            return false;
        }
        const int inner =
            ::openat(folder, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(folder);
        folder = inner;
    }
    if (folder < 0) return false;
    fd_ = OpenWithoutWaiting([&](int added) {
        return ::openat(folder, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | added);
    });
    ::close(folder);
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
        close();
        return false;
    }
    noteOpened();
    return fd_ >= 0;
}

void ArchiveFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    opened_.reset();
}

bool ArchiveFile::isOpen() const {
    return fd_ >= 0;
}

bool ArchiveFile::unchangedSinceOpened(int fd) const {
    return opened_ && StampOf(fd) == opened_;
}

std::optional<std::int64_t> ArchiveFile::modifiedWhenOpened() const {
    if (!opened_) return std::nullopt;
    return opened_->seconds * 1'000'000'000 + opened_->nanoseconds;
}

std::optional<std::uint64_t> ArchiveFile::length() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || info.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool ArchiveFile::isRegularFile() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

std::size_t ArchiveFile::readAt(std::uint64_t offset, std::uint8_t* buffer,
                                std::size_t size) const {
    std::size_t got = 0;
    while (fd_ >= 0 && got < size) {
        const ssize_t n = ::pread(fd_, buffer + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

#else

void ArchiveFile::swap(ArchiveFile& other) noexcept {
    std::scoped_lock lock(mutex_, other.mutex_);
    stream_.swap(other.stream_);
}

bool ArchiveFile::open(const std::filesystem::path& path) {
    close();
    stream_.open(path, std::ios::binary);
    return stream_.is_open();
}

bool ArchiveFile::openBelow(const std::filesystem::path& root,
                            const std::filesystem::path& relative) {
    return open(root / relative);
}

void ArchiveFile::close() {
    if (stream_.is_open()) stream_.close();
    stream_.clear();
}

bool ArchiveFile::isOpen() const {
    return stream_.is_open();
}

bool ArchiveFile::unchangedSinceOpened(int) const {
    return false;
}

std::optional<std::int64_t> ArchiveFile::modifiedWhenOpened() const {
    return std::nullopt;
}

std::optional<std::uint64_t> ArchiveFile::length() const {
    const std::lock_guard lock(mutex_);
    stream_.clear();
    stream_.seekg(0, std::ios::end);
    const std::streamoff end = stream_.tellg();
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

// There is no FIFO here to wait on; what opens is read as a file.
bool ArchiveFile::isRegularFile() const {
    return isOpen();
}

std::size_t ArchiveFile::readAt(std::uint64_t offset, std::uint8_t* buffer,
                                std::size_t size) const {
    const std::lock_guard lock(mutex_);
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    if (!stream_) return 0;
    stream_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(stream_.gcount());
    stream_.clear();
    return got;
}

#endif

}  // namespace tarvix
