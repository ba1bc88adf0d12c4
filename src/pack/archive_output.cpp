#include "pack/archive_output.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <random>
#include <unordered_set>
#include <vector>

namespace tarvix {
namespace {

namespace fs = std::filesystem;

// Bytes copied between two looks at whether to go on: a stored entry of hundreds of megabytes
// on a slow disk must not hold up Ctrl+C for its whole copy. Adding 1 MB to the realistic
// archive copies its 282 MB in 34 calls instead of one; the kernel's copying itself took the
// time (171 ms in those calls under strace, about 5 ms each on tmpfs).
constexpr std::size_t kCopyChunk = std::size_t{8} << 20;
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

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

// One chunk through this process, where copy_file_range cannot help (another file system, an
// old kernel). The bytes copied, 0 at the source's end, -1 with errno set on a failure.
ssize_t CopyThrough(int source, std::uint64_t offset, std::size_t length, int destination) {
    std::vector<std::uint8_t> buffer(std::min(length, kBufferBytes));
    std::size_t done = 0;
    while (done < length) {
        const std::size_t want = std::min(length - done, buffer.size());
        const ssize_t got = ::pread(source, buffer.data(), want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        if (!WriteAll(destination, buffer.data(), static_cast<std::size_t>(got))) return -1;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

ssize_t CopyChunk(int source, std::uint64_t offset, std::size_t length, int destination) {
    auto from = static_cast<off_t>(offset);
    for (;;) {
        const ssize_t copied = ::copy_file_range(source, &from, destination, nullptr, length, 0);
        if (copied >= 0) return copied;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) {
            return CopyThrough(source, offset, length, destination);
        }
        return -1;
    }
}

// The new archives that have a name right now, so that an ending process can remove them. An
// output is listed while its name is made and until it is renamed or removed, all under the
// lock, so that no name is made or given up outside it.
struct NamedOutputs {
    std::mutex lock;
    std::unordered_set<const ArchiveOutput*> outputs;
};

NamedOutputs& Named() {
    static NamedOutputs named;
    return named;
}

}  // namespace

bool MayLinkByDescriptor() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_DAC_READ_SEARCH)].effective & CAP_TO_MASK(CAP_DAC_READ_SEARCH)) !=
           0;
}

bool ArchiveOutput::fail(const char* what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    return false;
}

bool ArchiveOutput::open(const fs::path& target, unsigned mode) {
    discard();
    leftOver_.clear();
    targetName_ = target.filename().string();
    mode_ = mode;
    position_ = 0;
    stopped_ = false;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    folder_.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid()) return fail("cannot open the archive's folder");
    return openUnnamed() || openNamed();
}

bool ArchiveOutput::openUnnamed() {
#ifdef O_TMPFILE
    file_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode_));
    if (!file_.valid()) return false;
    // The file gets its name through its descriptor's link in /proc or, for a process that may,
    // through the descriptor itself; with neither it must have a name from the start.
    const std::string link =
        std::string(system_.descriptorFolder) + "/" + std::to_string(file_.get());
    struct stat status {};
    if (::stat(link.c_str(), &status) == 0) {
        naming_ = Naming::Unnamed;
        return true;
    }
    // The capability alone does not say the link will work (a user namespace's root on an
    // older kernel has it and still fails), so the file is named by its descriptor now, before
    // anything is written: it then counts as named from the start.
    if (system_.mayLinkByDescriptor()) {
        naming_ = Naming::ByDescriptorLink;
        if (nameUnnamed()) {
            naming_ = Naming::Named;
            return true;
        }
        error_.clear();
    }
    file_.reset();
#endif
    return false;
}

bool ArchiveOutput::openNamed() {
    naming_ = Naming::Named;
    const std::string base = "." + targetName_ + ".tarvix-";
    NamedOutputs& named = Named();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = base + RandomSuffix();
        const std::lock_guard guard(named.lock);
        file_.reset(::openat(folder_.get(), name.c_str(),
                             O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, mode_));
        if (file_.valid()) {
            temporaryName_ = std::move(name);
            named.outputs.insert(this);
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

bool ArchiveOutput::copyFrom(int source, std::uint64_t offset, std::uint64_t length,
                             const std::function<bool(std::uint64_t)>& chunkDone) {
    stopped_ = false;
    for (std::uint64_t done = 0; done < length;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kCopyChunk));
        const ssize_t copied = CopyChunk(source, offset + done, want, file_.get());
        if (copied <= 0) {
            // The source ending early means stored bytes are missing.
            if (copied == 0) errno = EIO;
            return fail("cannot copy");
        }
        done += static_cast<std::uint64_t>(copied);
        position_ += static_cast<std::uint64_t>(copied);
        if (chunkDone && !chunkDone(static_cast<std::uint64_t>(copied))) {
            stopped_ = true;
            return false;
        }
    }
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

bool ArchiveOutput::linkUnnamed(const std::string& name) {
    if (naming_ == Naming::Unnamed) {
        const std::string link =
            std::string(system_.descriptorFolder) + "/" + std::to_string(file_.get());
        if (system_.linkat(AT_FDCWD, link.c_str(), folder_.get(), name.c_str(),
                           AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        // /proc went away since the file was opened: the descriptor itself may still do.
        if (errno != ENOENT || !system_.mayLinkByDescriptor()) return false;
    }
    return system_.linkat(file_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH) == 0;
}

bool ArchiveOutput::nameUnnamed() {
    NamedOutputs& named = Named();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + targetName_ + ".tarvix-" + RandomSuffix();
        const std::lock_guard guard(named.lock);
        if (linkUnnamed(name)) {
            temporaryName_ = std::move(name);
            named.outputs.insert(this);
            return true;
        }
        if (errno != EEXIST) break;
    }
    return fail("cannot name the new archive");
}

ArchiveOutput::Commit ArchiveOutput::failCommit(const char* what) {
    fail(what);
    discard();
    return Commit::Failed;
}

bool ArchiveOutput::targetIsTheFileRead(const FileIdentity& read) {
    struct stat status {};
    return ::fstatat(folder_.get(), targetName_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           FileIdentity::Of(status) == read;
}

int ArchiveOutput::renameWithoutReplacing() {
    const char* name = targetName_.c_str();
    const int renamed = system_.renameat2(folder_.get(), temporaryName_.c_str(), folder_.get(),
                                          name, RENAME_NOREPLACE);
    if (renamed == 0 || errno != EINVAL) return renamed;
    // A file system without RENAME_NOREPLACE: a link fails just as surely when the name is
    // taken, and the temporary name then goes.
    if (system_.linkat(folder_.get(), temporaryName_.c_str(), folder_.get(), name, 0) != 0) {
        return -1;
    }
    if (::unlinkat(folder_.get(), temporaryName_.c_str(), 0) != 0) {
        // The archive is in place; its second name stays, and the user is told which.
        leftOver_ = temporaryName_ + "' could not be removed: " + std::strerror(errno);
    }
    return 0;
}

ArchiveOutput::Commit ArchiveOutput::renameOntoTarget(const ReplaceRule& rule) {
    NamedOutputs& named = Named();
    const std::lock_guard guard(named.lock);
    if (rule.kind == ReplaceRule::Kind::TheFileRead && !targetIsTheFileRead(rule.read)) {
        error_ = "changed by another program since it was read";
        return Commit::TargetChanged;
    }
    const int renamed = rule.kind == ReplaceRule::Kind::Nothing
                            ? renameWithoutReplacing()
                            : system_.renameat2(folder_.get(), temporaryName_.c_str(),
                                                folder_.get(), targetName_.c_str(), 0);
    if (renamed == 0) {
        named.outputs.erase(this);
        temporaryName_.clear();
        return Commit::Done;
    }
    if (errno == EEXIST && rule.kind == ReplaceRule::Kind::Nothing) {
        error_ = "appeared while the new archive was written";
        return Commit::TargetExists;
    }
    if (rule.kind == ReplaceRule::Kind::Nothing) {
        // Without RENAME_NOREPLACE the name is given by a hard link, which some file systems
        // (FAT, exFAT, some network shares) do not have.
        fail(errno == EPERM || errno == EOPNOTSUPP
                 ? "cannot give the new archive its name without replacing (the file system has "
                   "neither RENAME_NOREPLACE nor hard links)"
                 : "cannot give the new archive its name");
        return Commit::Failed;
    }
    fail("cannot replace the archive");
    return Commit::Failed;
}

ArchiveOutput::Commit ArchiveOutput::commit(const ReplaceRule& rule) {
    if (system_.fsync(file_.get()) != 0) return failCommit("cannot write");
    if (temporaryName_.empty() && !nameUnnamed()) {
        discard();
        return Commit::Failed;
    }
    if (system_.beforeRename) system_.beforeRename();
    const Commit renamed = renameOntoTarget(rule);
    if (renamed != Commit::Done) {
        discard();
        return renamed;
    }
    file_.reset();
    // The rename is on disk only once the folder is.
    if (system_.fsync(folder_.get()) != 0) {
        fail("the folder could not be flushed to disk; the new archive may not be on disk");
        return Commit::NotFlushed;
    }
    if (!leftOver_.empty()) {
        error_ = "the new archive is in place, but its temporary name '" + leftOver_;
        leftOver_.clear();
        return Commit::SecondNameLeft;
    }
    return Commit::Done;
}

void ArchiveOutput::discard() {
    if (!temporaryName_.empty()) {
        NamedOutputs& named = Named();
        const std::lock_guard guard(named.lock);
        ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
        named.outputs.erase(this);
    }
    temporaryName_.clear();
    file_.reset();
}

void RemoveNewArchivesForExit() {
    NamedOutputs& named = Named();
    // Never unlocked: every other thread that comes to name, rename or remove a new archive
    // waits here until the process ends.
    named.lock.lock();
    for (const ArchiveOutput* output : named.outputs) {
        ::unlinkat(output->folder_.get(), output->temporaryName_.c_str(), 0);
    }
}

}  // namespace tarvix
