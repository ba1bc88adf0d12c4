#include "archive/stack_source.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace tarvix {

namespace fs = std::filesystem;

StackSource::Opened StackSource::Open(const fs::path& path, std::string label, bool measureFiles) {
    auto source = std::make_unique<StackSource>();
    source->label_ = std::move(label);
    source->path_ = path;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        source->kind_ = Kind::Folder;
        auto files = ListFolderFiles(path, measureFiles);
        if (!files) return {nullptr, "cannot read the folder"};
        source->files_ = std::move(*files);
        return {std::move(source), {}};
    }
    errno = 0;
    const DatArchive::LoadResult result = source->archive_.load(path);
    if (!result.ok) {
        if (!result.message.empty()) return {nullptr, result.message};
        return {nullptr, errno != 0 ? std::strerror(errno) : messages::kCannotOpen};
    }
    FillEntryTable(source->archive_, source->table_);
    return {std::move(source), {}};
}

std::size_t StackSource::entryCount() const {
    return kind_ == Kind::Folder ? files_.size() : archive_.entryCount();
}

std::string_view StackSource::entryName(std::uint32_t index) const {
    return kind_ == Kind::Folder ? std::string_view(files_[index].name) : EntryName(table_[index]);
}

bool StackSource::openLooseFile(std::uint32_t index, DatArchive& into) const {
    if (kind_ != Kind::Folder || index >= files_.size()) return false;
    return into.loadLooseFile(path_, files_[index].relative, files_[index].name);
}

}  // namespace tarvix
