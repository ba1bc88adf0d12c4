#include "archive/stack_entry_list.h"

#include <algorithm>
#include <filesystem>

#include "archive/dat_entry.h"

namespace tarvix {
namespace {

void PutU32LE(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct CopySizes {
    std::uint32_t realSize = 0;
    std::uint32_t storedSize = 0;
    bool packed = false;
};

// A folder's file is stored; one of 4 GiB or more cannot be opened as an entry anyway, and is
// shown at the most an entry can say.
CopySizes SizesOf(const StackSource& source, std::uint32_t index) {
    if (source.kind() == StackSource::Kind::Folder) {
        const std::uint64_t size = source.files()[index].size;
        const auto shown = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
        return {shown, shown, false};
    }
    const EntryInfo info = GetEntryInfo(source.table(), index);
    return {info.realSize, info.storedSize, info.packing != PackingKind::Stored};
}

}  // namespace

std::string StackEntryPath(const SourceStack& stack, std::uint32_t place) {
    const StackEntry& entry = stack.entries()[place];
    std::string path = stack.folderPath(entry.folder);
    if (!path.empty()) path += '\\';
    path += SplitFolderAndFile(entry.name).file;
    return path;
}

std::vector<std::uint8_t> StackEntryList(const SourceStack& stack) {
    std::vector<std::uint8_t> list;
    const auto count = static_cast<std::uint32_t>(stack.entries().size());
    for (std::uint32_t place = 0; place < count; ++place) {
        const StackEntry& entry = stack.entries()[place];
        const std::string path = StackEntryPath(stack, place);
        const CopySizes sizes = SizesOf(stack.source(entry.source), entry.index);
        PutU32LE(list, static_cast<std::uint32_t>(path.size()));
        list.insert(list.end(), path.begin(), path.end());
        list.push_back(sizes.packed ? kTypeZlib : kTypeStored);
        PutU32LE(list, sizes.realSize);
        PutU32LE(list, sizes.storedSize);
        PutU32LE(list, 0);
    }
    return list;
}

std::string SourceShortName(const StackSource& source) {
    const std::filesystem::path& path = source.path();
    std::string name =
        (path.has_filename() ? path.filename() : path.parent_path().filename()).string();
    if (source.kind() == StackSource::Kind::Folder) name += '/';
    return name;
}

}  // namespace tarvix
