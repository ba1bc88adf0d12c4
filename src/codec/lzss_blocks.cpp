#include "codec/lzss_blocks.h"

namespace tarvix {
namespace {

std::int16_t HeaderValue(const std::uint8_t header[2]) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(header[0] << 8 | header[1]));
}

// The packed bytes a block takes after its header.
std::uint32_t BodyLength(std::int16_t header, StoredBlockReading reading) {
    return header > 0 ? static_cast<std::uint32_t>(header) : StoredBlockLength(header, reading);
}

}  // namespace

std::uint32_t StoredBlockLength(std::int16_t header, StoredBlockReading reading) {
    const auto bits = static_cast<std::uint16_t>(header);
    if (reading == StoredBlockReading::LowBits) return bits & 0x7FFFu;
    return 0x10000u - bits;
}

BlockWalk WalkBlocks(std::uint64_t packedSize, StoredBlockReading reading,
                     const BlockHeaderReader& headerAt) {
    BlockWalk walk;
    std::uint64_t at = 0;
    while (at < packedSize) {
        if (packedSize - at < 2) return walk;
        std::uint8_t bytes[2];
        if (!headerAt(at, bytes)) {
            walk.readable = false;
            return walk;
        }
        const std::int16_t header = HeaderValue(bytes);
        at += 2;
        if (header == 0) break;
        walk.hasStored |= header < 0;
        at += BodyLength(header, reading);
    }
    walk.fits = at == packedSize;
    return walk;
}

LzssBlockDecoder::LzssBlockDecoder()
    : block_(std::make_unique_for_overwrite<std::uint8_t[]>(kLongestLzssBlock)) {}

DecodeResult LzssBlockDecoder::decode(std::uint64_t packedSize, StoredBlockReading reading,
                                      const PackedReader& read, DecodedOutput& out) {
    std::uint64_t at = 0;
    while (at < packedSize) {
        if (packedSize - at < 2) return DecodeResult::Damaged;
        std::uint8_t bytes[2];
        if (const DecodeResult r = read(bytes, 2); r != DecodeResult::Ok) return r;
        at += 2;
        const std::int16_t header = HeaderValue(bytes);
        if (header == 0) return at == packedSize ? DecodeResult::Ok : DecodeResult::Damaged;
        const std::uint32_t length = BodyLength(header, reading);
        if (length > packedSize - at) return DecodeResult::Damaged;
        if (const DecodeResult r = read(block_.get(), length); r != DecodeResult::Ok) return r;
        at += length;
        if (header < 0) {
            if (!out.write(block_.get(), length)) return DecodeResult::Damaged;
            continue;
        }
        lzss_.reset();
        if (!lzss_.decode(block_.get(), length, out) || lzss_.inMatch()) {
            return DecodeResult::Damaged;
        }
    }
    return DecodeResult::Ok;
}

DecodeResult FinishOutput(DecodeResult result, DecodedOutput& out, std::uint64_t size) {
    // Handed on after damage too: a viewer shows what came before it.
    if (!out.finish() || out.failed()) return DecodeResult::OutputFailed;
    if (result != DecodeResult::Ok) return result;
    if (out.tooLong() || out.produced() != size) return DecodeResult::Damaged;
    return DecodeResult::Ok;
}

}  // namespace tarvix
