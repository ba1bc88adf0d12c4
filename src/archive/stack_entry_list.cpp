#include "archive/stack_entry_list.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

#include "archive/dat_entry.h"

namespace tarvix {
namespace {

std::uint8_t* PutU32LE(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) *out++ = static_cast<std::uint8_t>(value >> (8 * i));
    return out;
}

std::uint8_t* PutBytes(std::uint8_t* out, std::string_view bytes) {
    std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
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
    const EntrySizes sizes = GetEntrySizes(source.table(), index);
    return {sizes.realSize, sizes.packedSize,
            GetEntryPacking(source.table(), index) != PackingKind::Stored};
}

}  // namespace

// Each folder's path is made once rather than once per entry: a game has some thousands of
// folders against tens of thousands of entries. The records are written straight into the
// list's own memory, sized from above by the whole names (a file's name is part of its
// entry's name): writing byte by byte into a growing vector and copying the vector afterwards
// took a quarter of what the window adds to the union (bench/stack_bench.cpp, stack/paired).
LaidOutEntries StackEntryList(const SourceStack& stack) {
    std::vector<std::string> folderPaths(stack.folderCount());
    for (std::uint32_t id = 0; id < folderPaths.size(); ++id) {
        folderPaths[id] = stack.folderPath(id);
        if (id != SourceStack::kRootFolder) folderPaths[id] += '\\';  // "" is a folder too
    }
    std::size_t bound = 0;
    for (const StackEntry& entry : stack.entries()) {
        bound += kEntryFixedBytes + folderPaths[entry.folder].size() + entry.name.size();
    }
    LaidOutEntries list;
    list.bytes = AllocateLargeBlock(bound);
    if (!list.bytes) throw std::bad_alloc();
    list.entries = stack.entries().size();
    std::uint8_t* out = list.bytes.get();
    for (const StackEntry& entry : stack.entries()) {
        const std::string& folder = folderPaths[entry.folder];
        const std::string_view file = SplitFolderAndFile(entry.name).file;
        const CopySizes sizes = SizesOf(stack.source(entry.source), entry.index);
        out = PutU32LE(out, static_cast<std::uint32_t>(folder.size() + file.size()));
        out = PutBytes(out, folder);
        out = PutBytes(out, file);
        *out++ = sizes.packed ? kTypeZlib : kTypeStored;
        out = PutU32LE(out, sizes.realSize);
        out = PutU32LE(out, sizes.storedSize);
        out = PutU32LE(out, 0);
    }
    list.size = static_cast<std::size_t>(out - list.bytes.get());
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
