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

// Each folder's path is made once rather than once per entry: a game has some thousands of
// folders against tens of thousands of entries.
std::vector<std::uint8_t> StackEntryList(const SourceStack& stack) {
    std::vector<std::string> folderPaths(stack.folderCount());
    for (std::uint32_t id = 0; id < folderPaths.size(); ++id) {
        folderPaths[id] = stack.folderPath(id);
        if (id != SourceStack::kRootFolder) folderPaths[id] += '\\';  // "" is a folder too
    }
    std::size_t bytes = 0;
    for (const StackEntry& entry : stack.entries()) {
        bytes += kEntryFixedBytes + folderPaths[entry.folder].size() +
                 SplitFolderAndFile(entry.name).file.size();
    }
    std::vector<std::uint8_t> list;
    list.reserve(bytes);
    for (const StackEntry& entry : stack.entries()) {
        const std::string& folder = folderPaths[entry.folder];
        const std::string_view file = SplitFolderAndFile(entry.name).file;
        const CopySizes sizes = SizesOf(stack.source(entry.source), entry.index);
        PutU32LE(list, static_cast<std::uint32_t>(folder.size() + file.size()));
        list.insert(list.end(), folder.begin(), folder.end());
        list.insert(list.end(), file.begin(), file.end());
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
