#include "pack/archive_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

namespace tarvix {
namespace {

namespace fs = std::filesystem;

// Bytes a copy asks the kernel for at a time.
constexpr std::size_t kCopyChunk = std::size_t{1} << 30;

std::string RandomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kLetters[device() % (sizeof kLetters - 1)];
    return suffix;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The copy through this process, where copy_file_range cannot help (another file system,
// an old kernel).
bool CopyThrough(int source, std::uint64_t offset, std::uint64_t length, int destination) {
    std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(length, 1 << 20));
    while (length > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        const ssize_t got = ::pread(source, buffer.data(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (!WriteAll(destination, buffer.data(), static_cast<std::size_t>(got))) return false;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

}  // namespace

bool ArchiveOutput::fail(const char* what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    return false;
}

bool ArchiveOutput::open(const fs::path& target, unsigned mode) {
    discard();
    target_ = target;
    mode_ = mode;
    position_ = 0;
    folderPath_ = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    folder_.reset(::open(folderPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid()) return fail("cannot open the archive's folder");
    return openUnnamed() || openNamed();
}

bool ArchiveOutput::openUnnamed() {
#ifdef O_TMPFILE
    file_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode_));
    if (file_.valid()) return true;
#endif
    return false;
}

bool ArchiveOutput::openNamed() {
    const std::string base = "." + target_.filename().string() + ".tarvix-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = base + RandomSuffix();
        file_.reset(::openat(folder_.get(), name.c_str(),
                             O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, mode_));
        if (file_.valid()) {
            temporaryName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    return fail("cannot create the new archive");
}

bool ArchiveOutput::write(std::span<const std::uint8_t> bytes) {
    if (!WriteAll(file_.get(), bytes.data(), bytes.size())) return fail("cannot write");
    position_ += bytes.size();
    return true;
}

bool ArchiveOutput::copyFrom(int source, std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t end = offset + length;
    auto from = static_cast<off_t>(offset);
    while (static_cast<std::uint64_t>(from) < end) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(end - static_cast<std::uint64_t>(from), kCopyChunk));
        const ssize_t copied = ::copy_file_range(source, &from, file_.get(), nullptr, want, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 &&
            (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            const std::uint64_t rest = end - static_cast<std::uint64_t>(from);
            if (!CopyThrough(source, static_cast<std::uint64_t>(from), rest, file_.get())) {
                return fail("cannot copy");
            }
            break;
        }
        if (copied <= 0) {
            if (copied == 0) errno = EIO;
            return fail("cannot copy");
        }
    }
    position_ += length;
    return true;
}

bool ArchiveOutput::truncateTo(std::uint64_t position) {
    if (::ftruncate(file_.get(), static_cast<off_t>(position)) != 0 ||
        ::lseek(file_.get(), static_cast<off_t>(position), SEEK_SET) < 0) {
        return fail("cannot write");
    }
    position_ = position;
    return true;
}

bool ArchiveOutput::linkUnnamed() {
    // linkat with AT_EMPTY_PATH needs a privilege; the /proc path does not.
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target_.filename().string() + ".tarvix-" + RandomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporaryName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    return fail("cannot name the new archive");
}

bool ArchiveOutput::commit() {
    if (::fsync(file_.get()) != 0) {
        fail("cannot write");
        discard();
        return false;
    }
    if (temporaryName_.empty() && !linkUnnamed()) {
        discard();
        return false;
    }
    if (::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(),
                   target_.filename().c_str()) != 0) {
        fail("cannot replace the archive");
        discard();
        return false;
    }
    temporaryName_.clear();
    file_.reset();
    // The rename is on disk only once the folder is.
    ::fsync(folder_.get());
    return true;
}

void ArchiveOutput::discard() {
    if (!temporaryName_.empty()) ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
    temporaryName_.clear();
    file_.reset();
}

}  // namespace tarvix
