#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_format.h"
#include "archive/packing_kind.h"

namespace tarvix {

// 0-based position of an entry in directory order.
using EntryIndex = std::uint32_t;

class EntryTable;

// Directory entry layout: NameSize (4), Name (NameSize), Type (1), RealSize, PackedSize,
// Offset (4 each). All integers are unsigned 32-bit little-endian.
inline constexpr std::size_t kEntryFixedBytes = 17;

inline std::uint32_t ReadU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bytes that the entry beginning at `entry` occupies. Only valid on a checked entry list.
inline std::uint64_t EntryStride(const std::uint8_t* entry) {
    return std::uint64_t{ReadU32LE(entry)} + kEntryFixedBytes;
}

struct EntryInfo {
    std::string name;  // full internal path, Windows-1252 bytes
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;  // the record's own field (a stored DAT1 entry's is usually 0)
    std::uint32_t offset = 0;
    std::uint32_t type = 0;  // the raw packing field: DAT2's Type byte, DAT1's Attributes word
    PackingKind packing = PackingKind::Stored;
    // How many bytes at `offset` belong to the entry: PackedSize, except in DAT1 where a stored
    // entry has Size bytes and an unknown one PackedSize, or Size when that is 0.
    std::uint32_t storedSize = 0;
    ArchiveFormat format = ArchiveFormat::Dat2;
};

// The stored length of a DAT1 entry by its packing, as EntryInfo::storedSize says.
std::uint32_t Dat1StoredSize(PackingKind packing, std::uint32_t size, std::uint32_t packedSize);

// The Name of the entry at `entry`, ending at the first zero byte if it holds one. The view
// points into the entry list.
std::string_view EntryName(const std::uint8_t* entry);

// Everything about entry `index` of the table.
EntryInfo GetEntryInfo(const EntryTable& table, EntryIndex index);

// Both sizes without copying the name; the file list sums these for every selection change.
struct EntrySizes {
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;  // the stored length (EntryInfo::storedSize)
};
EntrySizes GetEntrySizes(const EntryTable& table, EntryIndex index);
// How the entry is packed (EntryInfo::packing), without copying the name.
PackingKind GetEntryPacking(const EntryTable& table, EntryIndex index);

// An internal path split at its last backslash. A name without one is both folder and file.
struct FolderAndFile {
    std::string_view folder;
    std::string_view file;
};
FolderAndFile SplitFolderAndFile(std::string_view name);

}  // namespace tarvix
