#include "pack/beneath_folder.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "archive/unique_fd.h"

namespace tarvix {
namespace {

int OpenByKernel(int folder, const std::filesystem::path& relative, int flags) {
#ifdef SYS_openat2
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// O_NOFOLLOW with O_DIRECTORY reports a link as ENOTDIR; callers tell a link apart by ELOOP.
int LinkAsLoop(int at, const std::filesystem::path& component) {
    const int error = errno;
    struct stat status {};
    const bool link = error == ENOTDIR &&
                      ::fstatat(at, component.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(status.st_mode);
    errno = link ? ELOOP : error;
    return -1;
}

int OpenComponentByComponent(int folder, const std::filesystem::path& relative, int flags) {
    UniqueFd parent;
    int at = folder;
    auto component = relative.begin();
    for (auto next = component; component != relative.end(); component = next) {
        ++next;
        if (next == relative.end()) break;
        // O_PATH: a folder on the way needs only search permission, as for a path name.
        parent.reset(
            ::openat(at, component->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!parent.valid()) return LinkAsLoop(at, *component);
        at = parent.get();
    }
    const int fd = ::openat(at, component->c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    return fd >= 0 ? fd : LinkAsLoop(at, *component);
}

bool StaysBeneath(const std::filesystem::path& relative) {
    if (relative.empty() || relative.is_absolute()) return false;
    for (const auto& component : relative) {
        if (component == "..") return false;
    }
    return true;
}

}  // namespace

int OpenBeneath(int folder, const std::filesystem::path& relative, int flags, BeneathWalk walk) {
    if (!StaysBeneath(relative)) {
        errno = EXDEV;
        return -1;
    }
    if (walk == BeneathWalk::Best) {
        const int fd = OpenByKernel(folder, relative, flags);
        // Older kernels, and sandboxes that filter the call, leave it to the walk below; so
        // does ENOTDIR, which may stand for a link where a folder was wanted.
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM && errno != ENOTDIR)) return fd;
    }
    return OpenComponentByComponent(folder, relative, flags);
}

}  // namespace tarvix
