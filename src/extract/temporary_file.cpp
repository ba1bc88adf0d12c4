#include "extract/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tarvix {

bool TemporaryFile::create(int folder, unsigned worker) {
    discard();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        // The name does not grow with the output's, so any name that fits the file system
        // also fits while it is being written.
        name_ = ".tarvix-" + std::to_string(worker + attempt) + ".part";
        file_.reset(::openat(folder, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file_.valid()) {
            folder_ = folder;
            return true;
        }
        // Only a name clash is worth another name; another worker's temporary file may have
        // been renamed away by now, so the error says it, not a look at the name.
        if (errno != EEXIST) return false;
    }
    return false;
}

bool TemporaryFile::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(file_.get(), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TemporaryFile::commit(const std::string& name) {
    // A file system may report a failed write-back only here.
    if (::close(file_.release()) != 0 ||
        ::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) {
        discard();
        return false;
    }
    folder_ = -1;
    return true;
}

void TemporaryFile::discard() {
    if (folder_ < 0) return;
    file_.reset();
    ::unlinkat(folder_, name_.c_str(), 0);
    folder_ = -1;
}

}  // namespace tarvix
