#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"

namespace tarvix {

// Entries above this many bytes of content are never loaded into memory whole.
inline constexpr std::uint32_t kContentLimitBytes = std::uint32_t{64} << 20;

// An entry's content, as unpacking gives it, held in memory.
struct EntryContent {
    enum class Status {
        Ok,              // `bytes` is the whole content
        TooLarge,        // above the limit; nothing was read
        CannotRead,      // the stored bytes lie outside the archive or could not be read
        Damaged,         // the packed data is broken; `bytes` holds what came before the break
        UnknownPacking,  // a packing no reader knows; nothing was read
        NoMemory,
    };
    Status status = Status::Ok;
    std::vector<std::uint8_t> bytes;
};

// Loads entry `index` by the rules extraction unpacks with (EntryUnpacker): a stored entry is
// its stored bytes as they are; a packed one must end exactly at its stored bytes' end and give
// exactly RealSize bytes. The stored bytes must lie within the archive's DataSize. Content above
// `limit` bytes (the stored size when stored, else RealSize) is not loaded, and no buffer is
// ever sized beyond the limit, whatever the archive claims.
EntryContent LoadEntryContent(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                              std::uint32_t limit = kContentLimitBytes);

// What a status means for the user, e.g. "Packed data is damaged"; empty for Ok.
std::string DescribeContentStatus(EntryContent::Status status, std::uint32_t type);

}  // namespace tarvix
