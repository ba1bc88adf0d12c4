#include "extract/entry_content.h"

#include <algorithm>
#include <new>

#include "archive/dat_entry.h"
#include "extract/entry_extractor.h"
#include "extract/entry_unpacker.h"
#include "extract/stored_stream.h"

namespace tarvix {
namespace {

using Status = EntryContent::Status;

Status StatusOf(StreamResult result) {
    switch (result) {
        case StreamResult::Ok:
            return Status::Ok;
        case StreamResult::ReadFailed:
            return Status::CannotRead;
        case StreamResult::NoMemory:
            return Status::NoMemory;
        case StreamResult::Damaged:
        case StreamResult::OutputFailed:
        case StreamResult::Cancelled:
            break;
    }
    return Status::Damaged;
}

// Unpacks as extraction does, keeping whatever came before any damage. Streaming every zlib
// entry (no whole-entry inflation) is what keeps those bytes.
Status LoadUnpacked(const DatArchive& archive, const EntryInfo& info, EntryContent& content) {
    StoredBytes stored(archive, info, nullptr);
    if (!stored.readNext()) return Status::CannotRead;
    EntryUnpacker unpacker(0);
    const StreamResult result = unpacker.unpack(
        archive, info, stored,
        [&content](const std::uint8_t* data, std::size_t size) {
            content.bytes.insert(content.bytes.end(), data, data + size);
            return true;
        },
        nullptr);
    return StatusOf(result);
}

}  // namespace

EntryContent LoadEntryContent(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                              std::uint32_t limit) {
    const EntryInfo info = GetEntryInfo(table, index);
    EntryContent content;
    if (info.packing == PackingKind::Unknown) {
        content.status = Status::UnknownPacking;
        return content;
    }
    const std::uint32_t size =
        info.packing == PackingKind::Stored ? info.storedSize : info.realSize;
    if (size > limit) {
        content.status = Status::TooLarge;
        return content;
    }
    if (std::uint64_t{info.offset} + info.storedSize > archive.dataSize()) {
        content.status = Status::CannotRead;
        return content;
    }
    try {
        content.bytes.reserve(size);
        content.status = LoadUnpacked(archive, info, content);
    } catch (const std::bad_alloc&) {
        content.status = Status::NoMemory;
    }
    if (content.status == Status::CannotRead || content.status == Status::NoMemory) {
        content.bytes.clear();
    }
    return content;
}

std::string DescribeContentStatus(EntryContent::Status status, std::uint32_t type) {
    switch (status) {
        case Status::Ok:
            return {};
        case Status::TooLarge:
            return "Larger than " + std::to_string(kContentLimitBytes >> 20) +
                   " MiB unpacked: not loaded";
        case Status::CannotRead:
            return kOutcomeCannotRead;
        case Status::Damaged:
            return kOutcomeDamaged;
        case Status::UnknownPacking:
            return UnknownPackingOutcome(type);
        case Status::NoMemory:
            return kOutcomeNoMemory;
    }
    return {};
}

}  // namespace tarvix
