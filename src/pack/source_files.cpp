#include "pack/source_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "archive/game_path.h"
#include "pack/internal_path.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

class Scanner {
public:
    Scanner(const fs::path& base, BeneathWalk walk)
        : typedBase_(base), base_(fs::absolute(base).lexically_normal()), walk_(walk) {
        // The folder being packed is the user's to choose, a link included; only what lies
        // below it is walked without following links.
        folder_ = std::make_shared<const UniqueFd>(
            ::open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder_->valid()) {
            scan_.refusals.push_back(Quoted(typedBase_) + ": " + std::strerror(errno));
        }
    }

    void add(const std::string& operand) {
        if (!folder_->valid()) return;
        const fs::path typed(operand);
        fs::path relative = (base_ / typed).lexically_normal().lexically_relative(base_);
        if (!relative.empty() && relative.filename().empty()) relative = relative.parent_path();
        if (relative.empty() || *relative.begin() == "..") {
            scan_.refusals.push_back(Quoted(typedBase_ / typed) +
                                     ": outside the folder being packed");
            return;
        }
        if (relative == ".") {
            walk(UniqueFd(::fcntl(folder_->get(), F_DUPFD_CLOEXEC, 0)), relative);
            return;
        }
        UniqueFd parent;
        if (relative.has_parent_path()) {
            // Only looked into by name: search permission is enough, as for a path name.
            parent.reset(
                OpenBeneath(folder_->get(), relative.parent_path(), O_PATH | O_DIRECTORY, walk_));
            if (!parent.valid()) return notFound(relative, errno);
        }
        const int at = parent.valid() ? parent.get() : folder_->get();
        struct stat status {};
        if (::fstatat(at, relative.filename().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return notFound(relative, errno);
        }
        visit(at, relative.filename().c_str(), relative, status);
    }

    SourceScan finish() {
        auto& files = scan_.files;
        std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) {
            const int order = CompareGamePaths(a.name, b.name);
            return order != 0 ? order < 0 : a.name < b.name;
        });
        std::vector<SourceFile> unique;
        for (SourceFile& file : files) {
            if (!unique.empty() && SameGamePath(unique.back().name, file.name)) {
                // The same file named twice on the command line is one entry.
                if (unique.back().path == file.path) continue;
                scan_.refusals.push_back(Shown(unique.back().relative) + " and " +
                                         Shown(file.relative) + ": the same path in the archive");
                continue;
            }
            unique.push_back(std::move(file));
        }
        files = std::move(unique);
        // Messages in a fixed order too, whatever order the folders were listed in.
        std::sort(scan_.refusals.begin(), scan_.refusals.end());
        std::sort(scan_.skipped.begin(), scan_.skipped.end());
        return std::move(scan_);
    }

private:
    // A path found below the base, as the user would type it.
    std::string Shown(const fs::path& relative) const {
        return Quoted((typedBase_ / relative).lexically_normal());
    }

    void notFound(const fs::path& relative, int error) {
        if (error == ELOOP) {
            scan_.skipped.push_back(Shown(relative) + ": a symbolic link on the way; not followed");
        } else {
            scan_.refusals.push_back(Shown(relative) + ": " + std::strerror(error));
        }
    }

    void visit(int at, const char* name, const fs::path& relative, const struct stat& status) {
        if (S_ISLNK(status.st_mode)) {
            scan_.skipped.push_back(Shown(relative) + ": symbolic link not followed");
        } else if (S_ISDIR(status.st_mode)) {
            UniqueFd folder(::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!folder.valid()) {
                scan_.refusals.push_back(Shown(relative) + ": " + std::strerror(errno));
                return;
            }
            walk(std::move(folder), relative);
        } else if (S_ISREG(status.st_mode)) {
            addFile(relative, static_cast<std::uint64_t>(status.st_size));
        } else {
            scan_.skipped.push_back(Shown(relative) + ": not a regular file");
        }
    }

    // Every entry of the folder open at `folder`, through its descriptor: a folder renamed or
    // replaced by a link meanwhile is not walked into by name.
    void walk(UniqueFd folder, const fs::path& relative) {
        DIR* listing = folder.valid() ? ::fdopendir(folder.get()) : nullptr;
        if (listing == nullptr) {
            scan_.refusals.push_back(Shown(relative) + ": " + std::strerror(errno));
            return;
        }
        folder.release();
        const std::unique_ptr<DIR, int (*)(DIR*)> owned(listing, ::closedir);
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(listing);
            if (entry == nullptr) {
                if (errno != 0) {
                    scan_.refusals.push_back(Shown(relative) + ": " + std::strerror(errno));
                }
                return;
            }
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            const fs::path child = relative == "." ? fs::path(name) : relative / name;
            struct stat status {};
            if (::fstatat(::dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                scan_.refusals.push_back(Shown(child) + ": " + std::strerror(errno));
                continue;
            }
            visit(::dirfd(listing), entry->d_name, child, status);
        }
    }

    void addFile(const fs::path& relative, std::uint64_t size) {
        InternalPath internal = MakeInternalPath(relative);
        if (!internal.problem.empty()) {
            scan_.refusals.push_back(Shown(relative) + ": " + internal.problem);
            return;
        }
        scan_.files.push_back(
            {std::move(internal.name), base_ / relative, size, relative, folder_});
    }

    fs::path typedBase_;
    fs::path base_;
    BeneathWalk walk_;
    std::shared_ptr<const UniqueFd> folder_;
    SourceScan scan_;
};

}  // namespace

SourceScan ScanSources(const fs::path& base, const std::vector<std::string>& paths,
                       BeneathWalk walk) {
    Scanner scanner(base, walk);
    for (const std::string& path : paths) scanner.add(path);
    return scanner.finish();
}

}  // namespace tarvix
