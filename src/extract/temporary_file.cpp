#include "extract/temporary_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>
#include <unordered_set>

namespace tarvix {
namespace {

// A name clash with 64 random bits is a sign of something odd, not of bad luck; a few tries
// get past a stale leftover of the same name all the same.
constexpr int kNameAttempts = 8;

std::uint64_t RandomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) == static_cast<ssize_t>(sizeof bits)) return bits;
    thread_local std::mt19937_64 fallback{std::random_device{}()};
    return fallback();
}

std::string RandomTemporaryName() {
    char name[32];
    std::snprintf(name, sizeof name, ".tarvix-%016llx.part",
                  static_cast<unsigned long long>(RandomBits()));
    return name;
}

// The temporary files that exist under their names right now, so that an ending process can
// remove them. A file is listed while its name is made and until it is renamed or removed, all
// under the lock, so that no file is named outside it. The lock is held for one system call at
// a time; extracting the realistic archive on two workers was not measurably slower with it.
struct LiveFiles {
    std::mutex lock;
    std::unordered_set<const TemporaryFile*> files;
};

LiveFiles& Live() {
    static LiveFiles live;
    return live;
}

}  // namespace

bool TemporaryFile::create(int folder) {
    discard();
    LiveFiles& live = Live();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        // The name does not grow with the output's, so any name that fits the file system
        // also fits while it is being written.
        name_ = RandomTemporaryName();
        const std::lock_guard guard(live.lock);
        file_.reset(::openat(folder, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file_.valid()) {
            folder_ = folder;
            live.files.insert(this);
            return true;
        }
        error_ = errno;
        if (error_ != EEXIST) return false;
    }
    return false;
}

bool TemporaryFile::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(file_.get(), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TemporaryFile::commit(const std::string& name) {
    // A file system may report a failed write-back only here.
    if (::close(file_.release()) != 0) {
        error_ = errno;
        discard();
        return false;
    }
    LiveFiles& live = Live();
    {
        const std::lock_guard guard(live.lock);
        if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) == 0) {
            live.files.erase(this);
            folder_ = -1;
            return true;
        }
        error_ = errno;
    }
    discard();
    return false;
}

void TemporaryFile::discard() {
    if (folder_ < 0) return;
    file_.reset();
    LiveFiles& live = Live();
    const std::lock_guard guard(live.lock);
    ::unlinkat(folder_, name_.c_str(), 0);
    live.files.erase(this);
    folder_ = -1;
}

void RemoveTemporaryFilesForExit() {
    LiveFiles& live = Live();
    // Never unlocked: every other thread that comes to create, rename or remove a temporary
    // file waits here until the process ends.
    live.lock.lock();
    for (const TemporaryFile* file : live.files) {
        ::unlinkat(file->folder_, file->name_.c_str(), 0);
    }
}

}  // namespace tarvix
