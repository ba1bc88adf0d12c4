#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace datwriter {

// Fallout 1's LZSS (see src/codec/lzss_decoder.h), written greedily with hash chains: the
// test data, the sample archive and the benchmarks' packed entries.
//
// One stream with a fresh dictionary, as Attributes 0x10 entries and each LZSS block hold it.
std::string LzssEncode(std::string_view content);

// How LzssBlocks lays out its blocks.
struct LzssBlockOptions {
    std::size_t blockContent = 16384;  // content bytes per block (at most 32767)
    // A block that LZSS does not make smaller is stored instead, its header N < 0 ...
    bool storeIncompressible = true;
    // ... read by its low 15 bits (0x8000 | length, the game's reading) or as -length.
    bool magnitudeHeaders = false;
    bool zeroHeaderAtEnd = false;  // a 0 header after the last block
};

// Blocks, each led by a 16-bit big-endian header, as Attributes 0x40 entries hold them.
std::string LzssBlocks(std::string_view content, const LzssBlockOptions& options = {});

// A block header's two bytes.
std::string BlockHeader(int value);

}  // namespace datwriter
