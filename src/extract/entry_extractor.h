#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/batch_monitor.h"
#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "extract/entry_outcome.h"
#include "extract/stored_stream.h"

namespace tarvix {

// Stored bytes that begin 78 DA are written as gzip: this header, the file name and a zero
// byte (the FNAME field), then the deflate data that follows the 2-byte zlib header. Nothing
// comes after the data; the zlib stream's Adler-32 is its last four bytes.
inline constexpr std::array<std::uint8_t, 10> kGzipHeader = {0x1F, 0x8B, 0x08, 0x08, 0x9F,
                                                             0xE8, 0xB7, 0x36, 0x02, 0x03};

// The texts of the outcomes that the viewer and the check share with extraction.
inline constexpr const char* kOutcomeOk = "ok";
inline constexpr const char* kOutcomeCannotRead = "Cannot read DAT file";
inline constexpr const char* kOutcomeDamaged = "Packed data is damaged";
inline constexpr const char* kOutcomeNoMemory = "Not enough memory to unpack";
inline constexpr const char* kOutcomeCancelled = "Cancelled";
// The outcome of streaming an entry's bytes that ended as `result`; "Cannot write" alone for
// an output that failed.
std::string StreamOutcome(StreamResult result);
// "Unknown packing (Type <n>)", with the raw Type byte or, in DAT1, the Attributes word.
std::string UnknownPackingOutcome(std::uint32_t type);

struct ExtractTarget {
    std::filesystem::path destination;
    // The folder path re-created below the destination, or nothing to write straight into it.
    std::optional<std::string> preservedFolder;
    // Write the real content of packed entries, by their packing, instead of the stored
    // bytes (with the ".gz" wrapping in DAT2).
    bool unpack = false;
    // Each entry below its own folder path (its name before the last backslash; none for a
    // name without one) instead of `preservedFolder`, less `droppedPrefix` at its front.
    bool ownFolders = false;
    std::string droppedPrefix{};
};

// What writing an entry will do, known before anything is written.
struct PlannedOutput {
    // Where below the destination it goes: its folder components and the file name it is
    // written under (after the ".gz" of a wrapped entry), joined by backslashes, without
    // empty components. Entries of one batch write the same file exactly when these are equal.
    std::string path;
    // The most it writes: its stored bytes (with the gzip header) or, unpacked, its RealSize.
    std::uint64_t bytes = 0;
    // Whether it fails however it is written: its stored bytes do not lie within the file,
    // its name is unsafe, or its packing is unknown to unpacking.
    bool refused = false;
};
// What writing entry `index` below `target` will do. A raw entry's first stored bytes are read
// for the ".gz" decision, as its extraction reads them.
PlannedOutput PlanOutput(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target);
// PlanOutput's path for an entry named `name` that is written as stored, never wrapped (a file
// of a folder source): known from the name alone, without reading anything.
std::string StoredOutputPath(std::string_view name, const ExtractTarget& target);

// What the entries of one batch share while they are written, possibly on several threads.
struct ExtractShared {
    // Progress and cancel; none for a lone entry.
    BatchMonitor* monitor = nullptr;
};

class EntryUnpacker;
class MadeFolders;
class OutputFolders;
class TemporaryFile;

// Writes entries below one target, one after the other; a batch has one for each worker. It
// keeps the folder it last wrote in open for the next entry (see OutputFolders), and its
// unpacker's buffers (see EntryUnpacker).
class EntryExtractor {
public:
    EntryExtractor(const DatArchive& archive, const EntryTable& table, const ExtractTarget& target,
                   ExtractShared* shared = nullptr);
    ~EntryExtractor();
    EntryExtractor(const EntryExtractor&) = delete;
    EntryExtractor& operator=(const EntryExtractor&) = delete;

    // Writes entry `index`, as ExtractEntry() says.
    EntryOutcome extract(EntryIndex index);

private:
    EntryOutcome write(const EntryInfo& info, StoredBytes& stored, std::string_view folder,
                       const std::vector<std::string_view>& components, bool gzip);
    // The errno that kept the output from being made; 0 once it is open.
    int open(std::string_view folder, const std::vector<std::string_view>& components,
             MadeFolders& made, TemporaryFile& out);

    const DatArchive& archive_;
    const EntryTable& table_;
    const ExtractTarget& target_;
    BatchMonitor* monitor_;
    std::unique_ptr<OutputFolders> folders_;
    std::unique_ptr<EntryUnpacker> unpacker_;
};

// Writes entry `index` below the target. Returns Ok or what went wrong: CannotWrite (with the
// system's errno, or none for an unsafe name), CannotRead, and when unpacking Damaged,
// UnknownPacking or NoMemory; Cancelled when the monitor asked for it part-way.
//
// Unpacking: stored entries are written as stored, packed ones (zlib, LZSS) are unpacked by
// EntryUnpacker's rules and must end exactly at their stored bytes' end and give exactly
// RealSize bytes; both under the entry's own name. Unpacking stops as soon as the output would
// pass RealSize, so no claim of the archive sizes any buffer or lets the output grow beyond it.
// Without unpacking, DAT2 stored bytes that begin 78 DA are written as "<name>.gz"; DAT1 ones
// always as they are under the entry's own name.
//
// The output is first written under a temporary name in its folder and renamed into place
// when complete, so a failure part-way leaves nothing behind (neither the file nor the folders
// made for it) and loses no file that was there before. Names that would lead outside the
// destination are refused, and no existing link is followed.
EntryOutcome ExtractEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target, ExtractShared* shared = nullptr);

}  // namespace tarvix
