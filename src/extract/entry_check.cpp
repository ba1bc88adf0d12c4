#include "extract/entry_check.h"

#include <optional>

#include "archive/cp1252.h"
#include "extract/entry_extractor.h"
#include "extract/entry_unpacker.h"
#include "extract/safe_path.h"
#include "extract/stored_stream.h"

namespace tarvix {
namespace {

bool Discard(const std::uint8_t*, std::size_t) {
    return true;
}

// The content check: the stored bytes read through, and unpacked where they are packed.
// Empty when they are sound; "Cancelled" when stopped part-way.
std::string CheckContent(const DatArchive& archive, const EntryInfo& info, BatchMonitor* monitor,
                         EntryUnpacker& unpacker) {
    StoredBytes stored(archive, info, monitor);
    if (!stored.readNext()) return kOutcomeCannotRead;
    const StreamResult result = unpacker.unpack(archive, info, stored, Discard, monitor);
    return result == StreamResult::Ok ? std::string() : StreamOutcome(result);
}

// Whether the stored bytes can be looked at: placed within the file, packed in a known way.
std::string CheckPlacementAndType(const DatArchive& archive, const EntryInfo& info) {
    if (std::uint64_t{info.offset} + info.storedSize > archive.dataSize()) {
        return OutsideDataAreaProblem(info.offset, info.storedSize, archive.dataAreaSize());
    }
    if (info.packing == PackingKind::Unknown) return UnknownPackingOutcome(info.type);
    return {};
}

}  // namespace

EntryCheck CheckEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                      BatchMonitor* monitor, EntryUnpacker* unpacker) {
    EntryCheck check;
    const EntryInfo info = GetEntryInfo(table, index);
    if (std::string problem = CheckPlacementAndType(archive, info); !problem.empty()) {
        check.problems.push_back(std::move(problem));
    } else {
        if (std::uint64_t{info.offset} + info.storedSize > archive.dataAreaSize()) {
            check.notes.push_back(
                OutsideDataAreaNote(info.offset, info.storedSize, archive.dataAreaSize()));
        }
        if (info.packing == PackingKind::Stored && info.realSize != info.storedSize) {
            check.problems.push_back(StoredSizesDifferProblem(info.realSize, info.packedSize));
        }
        std::optional<EntryUnpacker> own;
        std::string content =
            CheckContent(archive, info, monitor, unpacker ? *unpacker : own.emplace());
        if (content == kOutcomeCancelled) {
            check.cancelled = true;
        } else if (!content.empty()) {
            check.problems.push_back(std::move(content));
        }
    }
    if (const auto unsafe = FirstUnsafeComponent(info.name)) {
        check.problems.push_back(UnsafeNameProblem(*unsafe));
    }
    return check;
}

std::string OutsideDataAreaProblem(std::uint32_t offset, std::uint32_t packedSize,
                                   std::uint64_t dataAreaSize) {
    return "Stored bytes lie outside the data area (offset " + std::to_string(offset) +
           ", packed size " + std::to_string(packedSize) + ", data area ends at " +
           std::to_string(dataAreaSize) + ")";
}

std::string OutsideDataAreaNote(std::uint32_t offset, std::uint32_t packedSize,
                                std::uint64_t dataAreaSize) {
    return "note: stored bytes lie outside the data area (offset " + std::to_string(offset) +
           ", packed size " + std::to_string(packedSize) + ", data area ends at " +
           std::to_string(dataAreaSize) + "); extraction reads them where they lie";
}

std::string OverlapNote(const std::string& otherPath) {
    return "note: stored bytes overlap those of " + otherPath;
}

std::string StoredSizesDifferProblem(std::uint32_t realSize, std::uint32_t packedSize) {
    return "Stored entry's real size " + std::to_string(realSize) +
           " differs from its packed size " + std::to_string(packedSize);
}

std::string UnsafeNameProblem(std::string_view component) {
    if (component.empty()) return "Empty file name";
    return "Unsafe name component \"" + Cp1252ToUtf8(component) + "\"";
}

}  // namespace tarvix
