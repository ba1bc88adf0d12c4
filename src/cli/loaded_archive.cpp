#include "cli/loaded_archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/display_text.h"

namespace tarvix::cli {

std::unique_ptr<LoadedArchive> LoadArchive(const std::string& path, Walk walk) {
    auto loaded = std::make_unique<LoadedArchive>();
    errno = 0;
    const DatArchive::LoadResult result = loaded->archive.load(std::filesystem::path(path));
    if (!result.ok) {
        const int reason = result.openError ? result.openError.value() : errno;
        if (!result.message.empty()) {
            std::fprintf(stderr, "%s\n", result.message.c_str());
        } else if (reason != 0) {
            std::fprintf(stderr, "tarvix-cli: %s: %s\n", QuoteArgument(path).c_str(),
                         std::strerror(reason));
        }
        std::fprintf(stderr, "%s\n", messages::kCannotOpen);
        return nullptr;
    }
    if (walk == Walk::WithFolders) {
        loaded->folders = std::make_unique<FolderIndex>();
        loaded->folders->BuildFolderTree(loaded->archive, loaded->table);
    } else {
        FillEntryTable(loaded->archive, loaded->table);
    }
    return loaded;
}

}  // namespace tarvix::cli
