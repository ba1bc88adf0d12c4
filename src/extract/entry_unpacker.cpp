#include "extract/entry_unpacker.h"

#include <algorithm>
#include <cstring>

namespace tarvix {
namespace {

StreamResult ToStreamResult(DecodeResult result) {
    switch (result) {
        case DecodeResult::Ok:
            return StreamResult::Ok;
        case DecodeResult::Damaged:
            break;
        case DecodeResult::ReadFailed:
            return StreamResult::ReadFailed;
        case DecodeResult::OutputFailed:
            return StreamResult::OutputFailed;
        case DecodeResult::Cancelled:
            return StreamResult::Cancelled;
    }
    return StreamResult::Damaged;
}

// The stored bytes in order, across the chunks StoredBytes reads, from the chunk already read.
class ChunkReader {
public:
    ChunkReader(StoredBytes& stored, const BatchMonitor* monitor)
        : stored_(stored), monitor_(monitor) {}

    DecodeResult operator()(std::uint8_t* out, std::size_t size) {
        while (size > 0) {
            if (used_ == stored_.size()) {
                if (stored_.atEnd()) return DecodeResult::Damaged;
                if (CancelRequested(monitor_)) return DecodeResult::Cancelled;
                if (!stored_.readNext()) return DecodeResult::ReadFailed;
                used_ = 0;
            }
            const std::size_t n = std::min(size, stored_.size() - used_);
            std::memcpy(out, stored_.data() + used_, n);
            used_ += n;
            out += n;
            size -= n;
        }
        return DecodeResult::Ok;
    }

private:
    StoredBytes& stored_;
    const BatchMonitor* monitor_;
    std::size_t used_ = 0;
};

bool Discard(const std::uint8_t*, std::size_t) {
    return true;
}

}  // namespace

EntryUnpacker::EntryUnpacker(std::size_t wholeLimit) : inflater_(wholeLimit) {}

StreamResult EntryUnpacker::unpack(const DatArchive& archive, const EntryInfo& info,
                                   StoredBytes& stored, const ChunkSink& sink,
                                   const BatchMonitor* monitor) {
    switch (info.packing) {
        case PackingKind::Stored:
            return CopyStored(stored, sink, monitor);
        case PackingKind::Zlib:
            return inflater_.inflate(stored, info.realSize, sink, monitor);
        case PackingKind::LzssStream:
            return unpackStream(info, stored, sink, monitor);
        case PackingKind::LzssBlocks:
            return unpackBlocks(archive, info, stored, sink, monitor);
        case PackingKind::Unknown:
            break;
    }
    return StreamResult::Damaged;
}

StreamResult EntryUnpacker::unpackStream(const EntryInfo& info, StoredBytes& stored,
                                         const ChunkSink& sink, const BatchMonitor* monitor) {
    DecodedOutput out(info.realSize, sink);
    stream_.reset();
    DecodeResult result = DecodeResult::Ok;
    for (;;) {
        if (!stream_.decode(stored.data(), stored.size(), out)) {
            result = DecodeResult::Damaged;
            break;
        }
        if (stored.atEnd()) {
            if (stream_.inMatch()) result = DecodeResult::Damaged;
            break;
        }
        if (CancelRequested(monitor)) return StreamResult::Cancelled;
        if (!stored.readNext()) return StreamResult::ReadFailed;
    }
    return ToStreamResult(FinishOutput(result, out, info.realSize));
}

std::optional<StoredBlockReading> EntryUnpacker::chooseReading(const DatArchive& archive,
                                                               const EntryInfo& info,
                                                               StoredBytes& stored,
                                                               StreamResult& failure) {
    // Headers of an entry read whole come from memory; those of a longer one from the file,
    // a few bytes per block, before its blocks are decoded.
    const bool whole = stored.atEnd();
    const BlockHeaderReader headerAt = [&](std::uint64_t at, std::uint8_t header[2]) {
        if (whole) {
            std::memcpy(header, stored.data() + at, 2);
            return true;
        }
        return archive.readAt(info.offset + at, header, 2) == 2;
    };
    failure = StreamResult::Damaged;
    const BlockWalk low = WalkBlocks(info.storedSize, StoredBlockReading::LowBits, headerAt);
    const BlockWalk magnitude =
        low.hasStored ? WalkBlocks(info.storedSize, StoredBlockReading::Magnitude, headerAt) : low;
    if (!low.readable || !magnitude.readable) {
        failure = StreamResult::ReadFailed;
        return std::nullopt;
    }
    if (low.fits != magnitude.fits) {
        return low.fits ? StoredBlockReading::LowBits : StoredBlockReading::Magnitude;
    }
    if (!low.fits) return std::nullopt;
    if (!low.hasStored) return StoredBlockReading::LowBits;
    // Both readings lead to the end: the game's one, unless only the other gives RealSize
    // bytes. Rare enough that reading the entry twice costs nothing that matters.
    StoredBytes trial(archive, info, nullptr);
    if (!trial.readNext()) {
        failure = StreamResult::ReadFailed;
        return std::nullopt;
    }
    DecodedOutput counted(info.realSize, Discard);
    const DecodeResult tried =
        decodeBlocks(info, trial, StoredBlockReading::LowBits, counted, nullptr);
    return FinishOutput(tried, counted, info.realSize) == DecodeResult::Ok
               ? StoredBlockReading::LowBits
               : StoredBlockReading::Magnitude;
}

std::optional<StoredBlockReading> EntryUnpacker::blockReading(const DatArchive& archive,
                                                              const EntryInfo& info,
                                                              StreamResult& failure) {
    StoredBytes stored(archive, info, nullptr);
    if (!stored.readNext()) {
        failure = StreamResult::ReadFailed;
        return std::nullopt;
    }
    return chooseReading(archive, info, stored, failure);
}

DecodeResult EntryUnpacker::decodeBlocks(const EntryInfo& info, StoredBytes& stored,
                                         StoredBlockReading reading, DecodedOutput& out,
                                         const BatchMonitor* monitor) {
    ChunkReader reader(stored, monitor);
    return blocks_.decode(info.storedSize, reading, std::ref(reader), out);
}

StreamResult EntryUnpacker::unpackBlocks(const DatArchive& archive, const EntryInfo& info,
                                         StoredBytes& stored, const ChunkSink& sink,
                                         const BatchMonitor* monitor) {
    StreamResult failure = StreamResult::Damaged;
    const std::optional<StoredBlockReading> reading = chooseReading(archive, info, stored, failure);
    if (!reading) return failure;
    DecodedOutput out(info.realSize, sink);
    const DecodeResult result = decodeBlocks(info, stored, *reading, out, monitor);
    return ToStreamResult(FinishOutput(result, out, info.realSize));
}

}  // namespace tarvix
