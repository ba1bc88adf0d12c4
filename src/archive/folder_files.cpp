#include "archive/folder_files.h"

#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "archive/cp1252.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

// The archive-style name of `relative`, or nothing when a component holds a backslash.
std::optional<std::string> InternalName(const fs::path& relative) {
    std::string name;
    for (const fs::path& component : relative) {
        const std::string bytes = component.string();
        if (bytes.find('\\') != std::string::npos) return std::nullopt;
        if (!name.empty()) name += '\\';
        const std::optional<std::string> cp1252 = Utf8ToCp1252(bytes);
        name += cp1252 ? *cp1252 : bytes;
    }
    return name;
}

// Whether the files of `folder` can be looked at: a folder that can be read but not searched
// lists names whose files cannot be opened or measured.
bool Searchable([[maybe_unused]] const fs::path& folder) {
#ifndef _WIN32
    return ::faccessat(AT_FDCWD, folder.c_str(), X_OK, AT_EACCESS) == 0;
#else
    return true;
#endif
}

}  // namespace

std::optional<std::vector<FolderFile>> ListFolderFiles(const fs::path& root, bool measure) {
    std::error_code ec;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, ec);
    if (ec) return std::nullopt;
    std::vector<FolderFile> files;
    fs::path checkedFolder;
    bool searchable = true;
    for (; walk != fs::recursive_directory_iterator(); walk.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& entry = *walk;
        if (!entry.is_regular_file(ec) || entry.is_symlink(ec)) continue;
        fs::path relative = entry.path().lexically_relative(root);
        std::optional<std::string> name = InternalName(relative);
        if (!name) continue;
        if (!measure) {
            // Unmeasured, a file still needs what measuring it would: one check per folder.
            if (fs::path folder = entry.path().parent_path(); folder != checkedFolder) {
                searchable = Searchable(folder);
                checkedFolder = std::move(folder);
            }
            if (!searchable) continue;
        }
        const std::uintmax_t size = measure ? entry.file_size(ec) : 0;
        if (ec) continue;
        files.push_back({std::move(*name), std::move(relative), size});
    }
    return files;
}

}  // namespace tarvix
