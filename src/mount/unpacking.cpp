#include "mount/unpacking.h"

#include <algorithm>

#include "extract/entry_extractor.h"
#include "extract/entry_unpacker.h"
#include "mount/lzss_random_access.h"

namespace tarvix::mount {
namespace {

StreamResult Unpack(const StoredEntry& entry, EntryUnpacker& unpacker,
                    std::vector<std::uint8_t>& bytes) {
    StoredBytes stored(*entry.archive, entry.info, nullptr);
    if (!stored.readNext()) return StreamResult::ReadFailed;
    return unpacker.unpack(
        *entry.archive, entry.info, stored,
        [&bytes](const std::uint8_t* data, std::size_t size) {
            bytes.insert(bytes.end(), data, data + size);
            return true;
        },
        nullptr);
}

// Each of FUSE's threads keeps one, with its buffers for whole entries, as extraction's
// workers do.
EntryUnpacker& ThreadUnpacker() {
    thread_local EntryUnpacker unpacker;
    return unpacker;
}

// Where damage begins in an entry of LZSS blocks: the start of the block it was found in, since
// the block's output was handed on before its end showed it wrong. Decoded once more, by
// blocks, which only damaged entries pay for.
std::uint64_t LzssBlocksDamagedFrom(const StoredEntry& entry, std::uint64_t soundBytes) {
    StreamResult failure = StreamResult::Damaged;
    EntryUnpacker unpacker(0);
    const std::optional<StoredBlockReading> reading =
        unpacker.blockReading(*entry.archive, entry.info, failure);
    if (!reading) return 0;
    LzssRandomAccess blocks([&entry](std::uint64_t offset, std::uint8_t* buffer,
                                     std::size_t size) { return entry.read(offset, buffer, size); },
                            entry.info.storedSize, entry.info.realSize, reading);
    std::vector<std::uint8_t> piece(std::size_t{64} << 10);
    std::size_t produced = 0;
    for (std::uint64_t at = 0; at < soundBytes && !blocks.damagedAt(); at += produced) {
        if (blocks.read(at, piece.data(), piece.size(), produced) != LzssRandomAccess::Result::Ok ||
            produced == 0)
            break;
    }
    return std::min(soundBytes, blocks.damagedAt().value_or(0));
}

}  // namespace

UnpackedContent UnpackWhole(const StoredEntry& entry) {
    UnpackedContent content;
    const EntryInfo& info = entry.info;
    if (info.packing == PackingKind::Unknown) {
        content.problem = UnknownPackingOutcome(info.type);
        return content;
    }
    if (!entry.reachable()) {
        content.problem = kOutcomeCannotRead;
        return content;
    }
    const std::size_t size = info.packing == PackingKind::Stored ? info.storedSize : info.realSize;
    content.bytes.reserve(size);
    StreamResult result = Unpack(entry, ThreadUnpacker(), content.bytes);
    if (result == StreamResult::Damaged && info.packing == PackingKind::Zlib) {
        // A zlib entry inflated whole gives nothing when damaged; streamed, it gives what came
        // before the damage, which a reader may still have.
        content.bytes.clear();
        EntryUnpacker streaming(0);
        result = Unpack(entry, streaming, content.bytes);
    }
    if (result == StreamResult::Ok) {
        content.soundBytes = content.bytes.size();
        return content;
    }
    content.soundBytes = std::min<std::size_t>(content.bytes.size(), size == 0 ? 0 : size - 1);
    if (result == StreamResult::Damaged && info.packing == PackingKind::LzssBlocks) {
        content.soundBytes =
            static_cast<std::size_t>(LzssBlocksDamagedFrom(entry, content.soundBytes));
    }
    content.problem = StreamOutcome(result);
    return content;
}

}  // namespace tarvix::mount
