#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"

namespace tarvix {

// Stored bytes that begin 78 DA are written as gzip: this header, the file name and a zero
// byte (the FNAME field), then the deflate data that follows the 2-byte zlib header. Nothing
// comes after the data; the zlib stream's Adler-32 is its last four bytes.
inline constexpr std::array<std::uint8_t, 10> kGzipHeader = {0x1F, 0x8B, 0x08, 0x08, 0x9F,
                                                             0xE8, 0xB7, 0x36, 0x02, 0x03};

inline constexpr const char* kOutcomeOk = "ok";
inline constexpr const char* kOutcomeCannotRead = "Cannot read DAT file";

struct ExtractTarget {
    std::filesystem::path destination;
    // The folder path re-created below the destination, or nothing to write straight into it.
    std::optional<std::string> preservedFolder;
};

// Writes entry `index` below the target. Returns "ok", "Cannot write <name>" (the entry's
// full internal name, as UTF-8) or "Cannot read DAT file".
//
// The output is first written under a temporary name in its folder and renamed into place
// when complete, so a failure part-way leaves nothing behind and loses no file that was
// there before. Names that would lead outside the destination are refused, and no existing
// link is followed.
std::string ExtractEntry(DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target);

}  // namespace tarvix
