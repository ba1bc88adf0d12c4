#include "extract/output_folders.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "archive/cp1252.h"
#include "extract/safe_path.h"

namespace tarvix {
namespace {

// O_PATH where there is one: a folder is only walked through and written in, never read, so
// one the user may not list still works as it did with path names.
#ifdef O_PATH
constexpr int kOpenFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Opens folder `name` in `parent`, making it when missing. A link or a file of that name
// fails (ELOOP or ENOTDIR), as does anything that cannot be made.
int OpenOrMakeFolder(int parent, const char* name, bool& made) {
    made = false;
    const int fd = ::openat(parent, name, kOpenFolder | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    if (::mkdirat(parent, name, 0777) == 0) {
        made = true;
    } else if (errno != EEXIST) {  // EEXIST: another worker made it meanwhile
        return -1;
    }
    return ::openat(parent, name, kOpenFolder | O_NOFOLLOW);
}

}  // namespace

bool MadeFolders::add(int parent, std::string name) {
    UniqueFd held(::fcntl(parent, F_DUPFD_CLOEXEC, 0));
    if (!held.valid()) return false;
    made_.push_back({std::move(held), std::move(name)});
    return true;
}

void MadeFolders::removeAll() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        // Fails, and so keeps it, when anything is inside.
        ::unlinkat(it->parent.get(), it->name.c_str(), AT_REMOVEDIR);
    }
    made_.clear();
}

int OutputFolders::enter(std::string_view key, const std::vector<std::string_view>& components,
                         MadeFolders& made) {
    if (!root_.valid()) {
        root_.reset(::open(destination_.c_str(), kOpenFolder));
        if (!root_.valid()) return -1;
    }
    if (components.empty()) return root_.get();
    if (last_.valid() && key == lastKey_) return last_.get();
    last_.reset();
    const int fd = walk(components, made);
    if (fd < 0) return -1;
    last_.reset(fd);
    lastKey_ = key;
    return fd;
}

void OutputFolders::forget() {
    last_.reset();
    root_.reset();
}

int OutputFolders::walk(const std::vector<std::string_view>& components, MadeFolders& made) {
    UniqueFd current;
    int at = root_.get();
    for (std::string_view component : components) {
        std::string name = Cp1252ToUtf8(component);
        bool madeHere = false;
        UniqueFd next(OpenOrMakeFolder(at, name.c_str(), madeHere));
        const int error = errno;  // what the caller reports, whatever holding the parent does
        if (madeHere) made.add(at, std::move(name));
        if (!next.valid()) {
            errno = error;
            return -1;
        }
        current = std::move(next);
        at = current.get();
    }
    return current.release();
}

}  // namespace tarvix
