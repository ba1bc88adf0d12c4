#include "archive/dat_entry.h"

#include "archive/entry_table.h"

namespace tarvix {

std::string_view EntryName(const std::uint8_t* entry) {
    std::string_view name(reinterpret_cast<const char*>(entry + 4), ReadU32LE(entry));
    return name.substr(0, name.find('\0'));
}

namespace {

// RealSize, PackedSize and Offset follow the name and the Type byte.
const std::uint8_t* SizeFields(const std::uint8_t* entry) {
    return entry + 4 + ReadU32LE(entry) + 1;
}

}  // namespace

EntrySizes GetEntrySizes(const EntryTable& table, EntryIndex index) {
    const std::uint8_t* fields = SizeFields(table[index]);
    return {ReadU32LE(fields), ReadU32LE(fields + 4)};
}

EntryInfo GetEntryInfo(const EntryTable& table, EntryIndex index) {
    const std::uint8_t* e = table[index];
    const std::uint8_t* fields = SizeFields(e);
    return {std::string(EntryName(e)), ReadU32LE(fields), ReadU32LE(fields + 4),
            ReadU32LE(fields + 8), fields[-1]};
}

FolderAndFile SplitFolderAndFile(std::string_view name) {
    const auto slash = name.rfind('\\');
    if (slash == std::string_view::npos) return {name, name};
    return {name.substr(0, slash), name.substr(slash + 1)};
}

}  // namespace tarvix
