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

void MadeFolders::removeAll() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        std::error_code ec;
        std::filesystem::remove(*it, ec);  // fails, and so keeps it, when anything is inside
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
    std::filesystem::path path = destination_;
    for (std::string_view component : components) {
        const std::string name = Cp1252ToUtf8(component);
        path /= PathFromUtf8(name);
        bool madeHere = false;
        UniqueFd next(OpenOrMakeFolder(at, name.c_str(), madeHere));
        if (madeHere) made.add(path);
        if (!next.valid()) return -1;
        current = std::move(next);
        at = current.get();
    }
    return current.release();
}

}  // namespace tarvix
