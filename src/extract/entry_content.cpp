#include "extract/entry_content.h"

#include <algorithm>
#include <new>

#include "archive/dat_entry.h"
#include "extract/entry_extractor.h"
#include "extract/zlib_inflater.h"

namespace tarvix {
namespace {

using Status = EntryContent::Status;

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

Status LoadStored(const DatArchive& archive, const EntryInfo& info, EntryContent& content) {
    content.bytes.resize(info.packedSize);
    const std::size_t got = archive.readAt(info.offset, content.bytes.data(), info.packedSize);
    if (got == info.packedSize) return Status::Ok;
    content.bytes.clear();
    return Status::CannotRead;
}

Status Verdict(ZlibInflater::Status status) {
    return status == ZlibInflater::Status::NoMemory ? Status::NoMemory : Status::Damaged;
}

// Inflates the stored bytes a chunk at a time into `content`, never offering the inflater
// more than one byte past RealSize, so an over-long stream stops there.
Status LoadInflated(const DatArchive& archive, const EntryInfo& info, EntryContent& content) {
    std::vector<std::uint8_t> input(std::min<std::size_t>(kChunkBytes, info.packedSize));
    std::uint64_t read = 0;
    const auto readNext = [&] {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), info.packedSize - read));
        const std::size_t got =
            archive.readAt(std::uint64_t{info.offset} + read, input.data(), want);
        read += got;
        return got == want ? want : std::size_t{0};
    };
    content.bytes.reserve(std::size_t{info.realSize} +
                          1);  // the one byte an over-long stream may add
    ZlibInflater inflater;
    const std::size_t first = readNext();
    if (first == 0 && info.packedSize != 0) return Status::CannotRead;
    inflater.feed(input.data(), first);
    for (;;) {
        const std::size_t produced = content.bytes.size();
        const std::uint64_t allowed = info.realSize - produced;
        const auto space =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, allowed + 1));
        content.bytes.resize(produced + space);
        std::size_t got = 0;
        const ZlibInflater::Status status =
            inflater.inflate(content.bytes.data() + produced, space, got);
        content.bytes.resize(produced + std::min<std::uint64_t>(got, allowed));
        if (got > allowed) return Status::Damaged;
        switch (status) {
            case ZlibInflater::Status::End: {
                const bool exact = inflater.unusedInput() == 0 && read == info.packedSize &&
                                   content.bytes.size() == info.realSize;
                return exact ? Status::Ok : Status::Damaged;
            }
            case ZlibInflater::Status::OutputFull:
                break;
            case ZlibInflater::Status::NeedInput: {
                if (read == info.packedSize) return Status::Damaged;  // cut short
                const std::size_t next = readNext();
                if (next == 0) return Status::CannotRead;
                inflater.feed(input.data(), next);
                break;
            }
            default:
                return Verdict(status);
        }
    }
}

}  // namespace

EntryContent LoadEntryContent(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                              std::uint32_t limit) {
    const EntryInfo info = GetEntryInfo(table, index);
    EntryContent content;
    if (info.type != kTypeStored && info.type != kTypeZlib) {
        content.status = Status::UnknownPacking;
        return content;
    }
    const std::uint32_t size = info.type == kTypeStored ? info.packedSize : info.realSize;
    if (size > limit) {
        content.status = Status::TooLarge;
        return content;
    }
    if (std::uint64_t{info.offset} + info.packedSize > archive.dataSize()) {
        content.status = Status::CannotRead;
        return content;
    }
    try {
        content.status = info.type == kTypeStored ? LoadStored(archive, info, content)
                                                  : LoadInflated(archive, info, content);
    } catch (const std::bad_alloc&) {
        content.bytes.clear();
        content.status = Status::NoMemory;
    }
    return content;
}

std::string DescribeContentStatus(EntryContent::Status status, std::uint8_t type) {
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
