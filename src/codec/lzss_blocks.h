#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "codec/decoded_output.h"
#include "codec/lzss_decoder.h"

namespace tarvix {

// Fallout 1's packing in blocks: each block is led by a 16-bit big-endian signed header N.
// N = 0, or the end of the packed bytes, ends the entry (and must be the end: nothing may
// follow a 0 header). N > 0: N bytes of LZSS data, decoded with a fresh dictionary. N < 0:
// stored bytes, copied to the output and not into the dictionary. How long a stored block is
// has two readings.
enum class StoredBlockReading {
    LowBits,    // N's low 15 bits, as the game's own reader takes it
    Magnitude,  // -N, as some public descriptions give it
};

// The longest block either reading allows (a stored block of -(-32768) bytes).
inline constexpr std::size_t kLongestLzssBlock = 32768;

std::uint32_t StoredBlockLength(std::int16_t header, StoredBlockReading reading);

// Reads the two header bytes at `at` of the packed bytes; false when they cannot be read.
using BlockHeaderReader = std::function<bool(std::uint64_t at, std::uint8_t header[2])>;

// How the headers of `packedSize` bytes read under one reading.
struct BlockWalk {
    bool readable = true;    // every header could be read
    bool fits = false;       // the blocks end exactly at `packedSize`
    bool hasStored = false;  // some block is stored, so the readings may differ
};
BlockWalk WalkBlocks(std::uint64_t packedSize, StoredBlockReading reading,
                     const BlockHeaderReader& headerAt);

// How decoding ended.
enum class DecodeResult { Ok, Damaged, ReadFailed, OutputFailed, Cancelled };

// Gives the next `size` packed bytes in order; Ok, ReadFailed or Cancelled.
using PackedReader = std::function<DecodeResult(std::uint8_t* out, std::size_t size)>;

// Decodes `packedSize` bytes of blocks from `read` into `out` under `reading`. Damaged when
// the blocks do not end exactly at `packedSize`, a block ends inside a match, or the output
// would pass its limit; the caller checks the output's size. Memory: one block, whatever
// the headers say.
class LzssBlockDecoder {
public:
    LzssBlockDecoder();
    DecodeResult decode(std::uint64_t packedSize, StoredBlockReading reading,
                        const PackedReader& read, DecodedOutput& out);

private:
    LzssDecoder lzss_;
    std::unique_ptr<std::uint8_t[]> block_;
};

// The verdict of a whole entry: Ok only when the output came to exactly `size` bytes and was
// handed on. What was decoded is handed on whatever the verdict.
DecodeResult FinishOutput(DecodeResult result, DecodedOutput& out, std::uint64_t size);

}  // namespace tarvix
