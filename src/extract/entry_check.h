#pragma once

#include <string>
#include <vector>

#include "archive/batch_monitor.h"
#include "archive/dat_archive.h"
#include "archive/entry_table.h"

namespace tarvix {

class EntryUnpacker;

// What checking one entry found.
struct EntryCheck {
    // Every problem, in a fixed order (where its bytes lie, its packing, its content, its
    // name); none for a sound entry.
    std::vector<std::string> problems;
    // What is odd but extracts all the same (stored bytes that lie within the file but outside
    // the data area).
    std::vector<std::string> notes;
    bool cancelled = false;  // the monitor asked to stop before the entry was read through
};

// Checks entry `index` without writing anything, by the rules that extraction unpacks by:
// its stored bytes lie within the file (extraction and the viewer read them wherever they lie;
// outside the data area, in the entry list or the trailer, earns a note); its packing is known;
// a stored entry's bytes can be read and its sizes agree; a packed entry unpacks, in memory and
// as unpacking does it (`unpacker`, or one of its own), to exactly RealSize and ends exactly at
// its stored bytes' end; and every component of its name could be written below a folder. The
// problems read like the outcomes of extraction wherever there is one ("Packed data is damaged").
EntryCheck CheckEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                      BatchMonitor* monitor = nullptr, EntryUnpacker* unpacker = nullptr);

// "Stored bytes lie outside the data area (offset <o>, packed size <p>, data area ends at <d>)"
std::string OutsideDataAreaProblem(std::uint32_t offset, std::uint32_t packedSize,
                                   std::uint64_t dataAreaSize);
// "note: stored bytes lie outside the data area (offset <o>, packed size <p>, data area ends
// at <d>); extraction reads them where they lie"
std::string OutsideDataAreaNote(std::uint32_t offset, std::uint32_t packedSize,
                                std::uint64_t dataAreaSize);
// "note: stored bytes overlap those of <path>" (UTF-8)
std::string OverlapNote(const std::string& otherPath);
// "Stored entry's real size <r> differs from its packed size <p>"
std::string StoredSizesDifferProblem(std::uint32_t realSize, std::uint32_t packedSize);
// "Unsafe name component \"<c>\"" (UTF-8), or "Empty file name"
std::string UnsafeNameProblem(std::string_view cp1252Component);

}  // namespace tarvix
