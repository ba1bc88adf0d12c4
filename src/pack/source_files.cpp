#include "pack/source_files.h"

#include <algorithm>
#include <system_error>

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
    explicit Scanner(const fs::path& base)
        : typedBase_(base), base_(fs::absolute(base).lexically_normal()) {}

    void add(const std::string& operand) {
        const fs::path typed(operand);
        const fs::path full = (base_ / typed).lexically_normal();
        const fs::path relative = full.lexically_relative(base_);
        if (relative.empty() || *relative.begin() == "..") {
            scan_.refusals.push_back(Quoted(typedBase_ / typed) +
                                     ": outside the folder being packed");
            return;
        }
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(full, ec);
        if (ec || !fs::exists(status)) {
            scan_.refusals.push_back(Quoted((typedBase_ / typed).lexically_normal()) + ": " +
                                     (ec ? ec.message() : "no such file or folder"));
            return;
        }
        visit(full, status);
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
                scan_.refusals.push_back(Shown(unique.back().path) + " and " + Shown(file.path) +
                                         ": the same path in the archive");
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
    std::string Shown(const fs::path& full) const {
        return Quoted((typedBase_ / full.lexically_relative(base_)).lexically_normal());
    }

    void visit(const fs::path& full, const fs::file_status& status) {
        if (fs::is_symlink(status)) {
            scan_.skipped.push_back(Shown(full) + ": symbolic link not followed");
        } else if (fs::is_directory(status)) {
            walk(full);
        } else if (fs::is_regular_file(status)) {
            addFile(full);
        } else {
            scan_.skipped.push_back(Shown(full) + ": not a regular file");
        }
    }

    void walk(const fs::path& folder) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::file_status status = it->symlink_status(ec);
            if (ec) break;
            visit(it->path(), status);
        }
        if (ec) scan_.refusals.push_back(Shown(folder) + ": " + ec.message());
    }

    void addFile(const fs::path& full) {
        std::error_code ec;
        const std::uint64_t size = fs::file_size(full, ec);
        if (ec) {
            scan_.refusals.push_back(Shown(full) + ": " + ec.message());
            return;
        }
        InternalPath internal = MakeInternalPath(full.lexically_relative(base_));
        if (!internal.problem.empty()) {
            scan_.refusals.push_back(Shown(full) + ": " + internal.problem);
            return;
        }
        scan_.files.push_back({std::move(internal.name), full, size});
    }

    fs::path typedBase_;
    fs::path base_;
    SourceScan scan_;
};

}  // namespace

SourceScan ScanSources(const fs::path& base, const std::vector<std::string>& paths) {
    Scanner scanner(base);
    for (const std::string& path : paths) scanner.add(path);
    return scanner.finish();
}

}  // namespace tarvix
