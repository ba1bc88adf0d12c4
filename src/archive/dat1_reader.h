#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "archive/archive_file.h"
#include "archive/large_block.h"

namespace tarvix {

// A Fallout 1 archive's records, laid out as Fallout 2's entry list so that the entry table,
// the folder index and every front-end read both alike:
//   NameSize (4 LE) = name + 5, the internal path ("DIR\FILE", or "FILE" in "."), a zero byte,
//   Attributes (4 LE), Type (1) = 0, RealSize = Size, PackedSize, Offset (4 LE each).
// GetEntryInfo reads the Attributes back from the end of the name field; EntryName stops at the
// zero byte.
struct Dat1EntryList {
    LargeBlock block;
    std::size_t size = 0;
    std::size_t count = 0;
};

// Bytes a DAT1 record adds to its path in the entry list (the zero byte and the Attributes).
inline constexpr std::size_t kDat1NameTrailerBytes = 5;

// Reads the first `length` bytes of `file` as a Fallout 1 archive (all integers 32-bit
// big-endian): DirectoryCount and three words, the directory names (1-byte length each), then
// for each directory FileCount and three words and its records (1-byte name length, name,
// Attributes, Offset, Size, PackedSize). Nothing unless all of it is there: at least one
// directory, every count, name and record inside the file, every entry's stored bytes inside
// the file. Memory grows only with what has been read, never by a count the file claims.
std::optional<Dat1EntryList> ReadDat1(const ArchiveFile& file, std::uint64_t length);

}  // namespace tarvix
