#include "archive/archive_file.h"

#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarvix {

#ifndef _WIN32

void ArchiveFile::swap(ArchiveFile& other) noexcept {
    std::swap(fd_, other.fd_);
}

bool ArchiveFile::open(const std::filesystem::path& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

void ArchiveFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ArchiveFile::isOpen() const {
    return fd_ >= 0;
}

std::optional<std::uint64_t> ArchiveFile::length() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || info.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
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

void ArchiveFile::close() {
    if (stream_.is_open()) stream_.close();
    stream_.clear();
}

bool ArchiveFile::isOpen() const {
    return stream_.is_open();
}

std::optional<std::uint64_t> ArchiveFile::length() const {
    const std::lock_guard lock(mutex_);
    stream_.clear();
    stream_.seekg(0, std::ios::end);
    const std::streamoff end = stream_.tellg();
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
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
