#include "codec/lzss_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "codec/lzss_blocks.h"
#include "lzss_encoder.h"

namespace tarvix {
namespace {

// One stream decoded with a fresh dictionary and an output limit, fed in pieces of `piece`
// bytes so that a match or a flag byte may fall across the pieces; nothing when damaged.
std::optional<std::string> DecodeStream(const std::string& packed, std::uint64_t limit,
                                        std::size_t piece = 1 << 20) {
    std::string content;
    DecodedOutput out(limit, [&content](const std::uint8_t* data, std::size_t size) {
        content.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    LzssDecoder decoder;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(packed.data());
    for (std::size_t at = 0; at < packed.size(); at += piece) {
        if (!decoder.decode(bytes + at, std::min(piece, packed.size() - at), out)) {
            return std::nullopt;
        }
    }
    if (decoder.inMatch() || !out.finish()) return std::nullopt;
    return content;
}

struct StreamCase {
    const char* what;
    std::string packed;
    std::uint64_t limit;
    std::optional<std::string> content;  // nothing: damaged
};

// Worked out by hand from the format: flag bits LSB first, 1 a literal, 0 a match b0 b1 with
// offset b0 | (b1 & 0xF0) << 4 and length (b1 & 0x0F) + 3; the dictionary starts as spaces
// and is written from 0xFEE on.
const StreamCase kStreamCases[] = {
    {"eight literals",
     std::string("\xFF"
                 "ABCDEFGH"),
     100, "ABCDEFGH"},
    {"a match that reads the initial spaces", std::string("\x00\x00\x00", 3), 100, "   "},
    {"a match of 18 at the far end of the spaces", std::string("\x00\x10\x0F", 3), 100,
     std::string(18, ' ')},
    {"an overlapping copy repeats one byte", std::string("\x01x\xEE\xF2", 4), 100, "xxxxxx"},
    {"an overlapping copy repeats two bytes",
     std::string("\x03"
                 "ab\xEE\xF3",
                 5),
     100, "abababab"},
    // 9 literals end at 0xFF7; EE FF copies 18 from 0xFEE, 9 back: the copy's second half is
    // its first.
    {"a match of 18 at distance 9 repeats its first half",
     std::string("\xFF"
                 "12345678"
                 "\x01"
                 "9\xEE\xFF"),
     100, "123456789123456789123456789"},
    // 17 literals end at 0xFFF; EE FF copies 18 from 0xFEE, 17 back: the copy reads its own
    // first byte as its last.
    {"a match of 18 at distance 17 overlaps itself",
     std::string("\xFF"
                 "ABCDEFGH"
                 "\xFF"
                 "IJKLMNOP"
                 "\x01"
                 "Q\xEE\xFF"),
     100,
     "ABCDEFGHIJKLMNOPQ"
     "ABCDEFGHIJKLMNOPQ"
     "A"},
    // 18 literals end at 0x000; EE FF copies 18 from 0xFEE, 18 back: source and target meet.
    {"a match of 18 at distance 18 ends where it began",
     std::string("\xFF"
                 "abcdefgh"
                 "\xFF"
                 "ijklmnop"
                 "\x03"
                 "qr\xEE\xFF"),
     100,
     "abcdefghijklmnopqr"
     "abcdefghijklmnopqr"},
    // The same at distance 17, followed by six literals and a group of eight, so that the
    // match is decoded inside a whole flag group too. Each of these rows writes other bytes
    // than the row before: a decoder's window may take over the last one's memory, where a
    // copy that read a byte before it was written would find the right one by chance.
    {"a match of 18 at distance 17 inside a whole flag group",
     std::string("\xFF"
                 "01234567"
                 "\xFF"
                 "89ABCDEF"
                 "\xFD"
                 "G\xEE\xFF"
                 "abcdef"
                 "\xFF"
                 "ghijklmn"),
     1000,
     "0123456789ABCDEFG"
     "0123456789ABCDEFG"
     "0"
     "abcdefghijklmn"},
    {"a match wraps at 4096",
     std::string("\xFF"
                 "ABCDEFGH"
                 "\xFF"
                 "IJKLMNOP"
                 "\x0F"
                 "QRST\xFE\xF1"),
     100, "ABCDEFGHIJKLMNOPQRSTQRST"},
    {"data may end right after a flag byte",
     std::string("\xFF"
                 "ABCDEFGH"
                 "\xFF"),
     100, "ABCDEFGH"},
    {"data may end part-way through a flag byte's items",
     std::string("\xFF"
                 "AB"),
     100, "AB"},
    {"nothing at all", "", 0, ""},
    {"data that ends inside a match is damaged", std::string("\x00\x00", 2), 100, std::nullopt},
    {"exactly at the limit", std::string("\x00\x10\x0F", 3), 18, std::string(18, ' ')},
    {"one byte past the limit stops", std::string("\x00\x10\x0F", 3), 17, std::nullopt},
    {"a bomb of eight 18-byte matches stops at a limit of 100",
     std::string(1, 0) + std::string(16, '\x0F'), 100, std::nullopt},
};

TEST(LzssDecoderTest, HandWorkedStreams) {
    for (const StreamCase& c : kStreamCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeStream(c.packed, c.limit), c.content);
        // Fed a byte at a time: a match's two bytes and the flags cross every boundary.
        EXPECT_EQ(DecodeStream(c.packed, c.limit, 1), c.content);
    }
}

std::string Sample(std::size_t size, unsigned seed) {
    std::string text;
    for (std::uint32_t i = seed; text.size() < size; i = i * 1103515245u + 12345u) {
        text += (i >> 8) % 5 == 0 ? std::string(1 + (i >> 4) % 40, ' ') : std::to_string(i % 977);
    }
    return text.substr(0, size);
}

TEST(LzssDecoderTest, WhatTheEncoderWritesComesBack) {
    const std::string contents[] = {"",
                                    "a",
                                    std::string(5000, ' '),
                                    std::string(70000, 'z'),
                                    Sample(100000, 1),
                                    Sample(3, 2),
                                    Sample(4097, 3)};
    for (const std::string& content : contents) {
        SCOPED_TRACE(content.size());
        const std::string packed = datwriter::LzssEncode(content);
        EXPECT_EQ(DecodeStream(packed, content.size()), content);
        EXPECT_EQ(DecodeStream(packed, content.size(), 7), content);
        if (!content.empty()) {
            EXPECT_EQ(DecodeStream(packed, content.size() - 1), std::nullopt);
        }
    }
    EXPECT_LT(datwriter::LzssEncode(std::string(70000, 'z')).size(), 70000u / 8);
}

// A decoder saved after `cut` input bytes and restored into another, which has decoded other
// data before (its window holds other bytes), goes on exactly as the first would have: at the
// start (initial spaces), inside the first 4 KiB (spaces and output mixed), after the window
// has moved, and one byte into a match.
TEST(LzssDecoderTest, ASavedStateGoesOnAsTheDecoderWould) {
    const std::string content = Sample(200000, 7);
    const std::string packed = datwriter::LzssEncode(content);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(packed.data());
    const std::size_t cuts[] = {0, 1, 9, 700, 1500, 90000, packed.size() / 2, packed.size() - 1};
    for (const std::size_t cut : cuts) {
        SCOPED_TRACE(cut);
        std::string decoded;
        DecodedOutput out(content.size(), [&decoded](const std::uint8_t* data, std::size_t size) {
            decoded.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
        LzssDecoder first;
        ASSERT_TRUE(first.decode(bytes, cut, out));
        const LzssDecoder::State state = first.save();

        LzssDecoder second;
        std::string other;
        DecodedOutput elsewhere(1 << 20, [&other](const std::uint8_t* data, std::size_t size) {
            other.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
        const std::string noise = datwriter::LzssEncode(Sample(80000, 99));
        ASSERT_TRUE(second.decode(reinterpret_cast<const std::uint8_t*>(noise.data()), noise.size(),
                                  elsewhere));
        second.restore(state);
        ASSERT_TRUE(second.decode(bytes + cut, packed.size() - cut, out));
        EXPECT_FALSE(second.inMatch());
        ASSERT_TRUE(out.finish());
        EXPECT_TRUE(decoded == content);
    }
}

std::string Header(int n) {
    return datwriter::BlockHeader(n);
}

struct WalkCase {
    const char* what;
    std::string packed;
    bool fitsLowBits;
    bool fitsMagnitude;
};

const WalkCase kWalkCases[] = {
    {"no blocks at all", "", true, true},
    {"one LZSS block", Header(3) + "abc", true, true},
    {"a 0 header at the end", Header(3) + "abc" + Header(0), true, true},
    {"bytes after a 0 header", Header(0) + "x", false, false},
    {"a lone byte where a header should be", Header(3) + "abc" + "x", false, false},
    {"a block longer than the bytes left", Header(20) + "abc", false, false},
    {"stored 0x8003: low 15 bits", Header(0x8003) + "xyz", true, false},
    {"stored -3: magnitude", Header(-3) + "xyz", false, true},
    {"stored 0xC000: both readings agree", Header(0xC000) + std::string(0x4000, 's'), true, true},
};

TEST(LzssBlocksTest, HeadersWalkedUnderEachReading) {
    for (const WalkCase& c : kWalkCases) {
        SCOPED_TRACE(c.what);
        const BlockHeaderReader at = [&c](std::uint64_t offset, std::uint8_t header[2]) {
            header[0] = static_cast<std::uint8_t>(c.packed[offset]);
            header[1] = static_cast<std::uint8_t>(c.packed[offset + 1]);
            return true;
        };
        EXPECT_EQ(WalkBlocks(c.packed.size(), StoredBlockReading::LowBits, at).fits, c.fitsLowBits);
        EXPECT_EQ(WalkBlocks(c.packed.size(), StoredBlockReading::Magnitude, at).fits,
                  c.fitsMagnitude);
    }
}

// One decoder, reset before each of `blocks` copies of one hand-worked block, as blocks are
// decoded: each must read the initial spaces again, wherever its start falls in the decoder's
// window, and however far the output has run past it.
struct ResetCase {
    const char* what;
    std::string packed;
    std::string content;
    std::size_t blocks;
};

const ResetCase kResetCases[] = {
    {"a literal, 18 more by overlap, then 18 spaces from offset 0x100, not yet written",
     std::string("\x01x\xEE\xFF\x00\x1F", 6), std::string(19, 'x') + std::string(18, ' '), 5000},
    {"a match of 14 spaces and the 4 bytes written after them",
     std::string("\x0F"
                 "abcd\xE0\xFF",
                 7),
     "abcd" + std::string(14, ' ') + "abcd", 4000},
    {"eight literals, no match", std::string("\xFF") + "ABCDEFGH", "ABCDEFGH", 9000},
    // 'x' at 0xFEE, then ED F1 copies 4 from 0xFED, 2 back: one byte before this block's
    // output, where the previous block's bytes still lie in the window.
    {"a literal, then a match at distance 2 that starts on an initial space",
     std::string("\x01x\xED\xF1", 4), "x x x", 20000},
};

TEST(LzssDecoderTest, EveryResetReadsTheInitialSpacesAgain) {
    for (const ResetCase& c : kResetCases) {
        SCOPED_TRACE(c.what);
        std::string content;
        DecodedOutput out(UINT64_MAX, [&content](const std::uint8_t* data, std::size_t size) {
            content.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
        LzssDecoder decoder;
        std::string expected;
        for (std::size_t b = 0; b < c.blocks; ++b) {
            decoder.reset();
            ASSERT_TRUE(decoder.decode(reinterpret_cast<const std::uint8_t*>(c.packed.data()),
                                       c.packed.size(), out));
            expected += c.content;
        }
        ASSERT_TRUE(out.finish());
        ASSERT_EQ(content.size(), expected.size());
        const auto differ = std::mismatch(content.begin(), content.end(), expected.begin());
        EXPECT_EQ(differ.first, content.end()) << "differs at " << differ.first - content.begin();
    }
}

// A limit anywhere in a long stream, around the decoder's whole flag groups (8 items, at most
// 144 bytes) and its 64 KiB chunks: decoding stops at the item that would pass it, having
// handed on exactly what came before.
TEST(LzssDecoderTest, ALimitStopsAtTheItemThatWouldPassIt) {
    const std::string content = Sample(200000, 4);
    const std::string packed = datwriter::LzssEncode(content);
    for (const std::uint64_t limit :
         {0u, 1u, 143u, 144u, 145u, 4096u, 65535u, 65536u, 65537u, 131072u, 199999u}) {
        SCOPED_TRACE(limit);
        std::string handed;
        DecodedOutput out(limit, [&handed](const std::uint8_t* data, std::size_t size) {
            handed.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
        LzssDecoder decoder;
        EXPECT_FALSE(decoder.decode(reinterpret_cast<const std::uint8_t*>(packed.data()),
                                    packed.size(), out));
        EXPECT_TRUE(out.tooLong());
        ASSERT_TRUE(out.finish());
        EXPECT_LE(handed.size(), limit);
        EXPECT_GT(handed.size() + 18, limit);
        EXPECT_EQ(handed, content.substr(0, handed.size()));
    }
}

std::string Noise(std::size_t size) {
    std::string bytes;
    for (std::uint32_t i = 99; bytes.size() < size; i = i * 1103515245u + 12345u) {
        bytes += static_cast<char>(i >> 16);
    }
    return bytes;
}

struct BlockRoundTrip {
    const char* what;
    std::string content;
    datwriter::LzssBlockOptions options;
    StoredBlockReading reading;
};

// Long contents in blocks of each kind, so that resets, stored blocks handed on past the
// decoder's window and its chunks meet at many places.
TEST(LzssBlocksTest, LongContentsInBlocksOfEveryKind) {
    const BlockRoundTrip cases[] = {
        {"text in 16 KiB blocks", Sample(200000, 5), {}, StoredBlockReading::LowBits},
        {"noise, stored blocks by their low bits", Noise(100000), {}, StoredBlockReading::LowBits},
        {"noise, stored blocks by magnitude",
         Noise(100000),
         {.magnitudeHeaders = true},
         StoredBlockReading::Magnitude},
        {"text and noise in blocks of 1,000",
         Sample(70000, 6) + Noise(30000) + Sample(70000, 7),
         {.blockContent = 1000, .zeroHeaderAtEnd = true},
         StoredBlockReading::LowBits},
    };
    for (const BlockRoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string packed = datwriter::LzssBlocks(c.content, c.options);
        std::size_t at = 0;
        const PackedReader read = [&](std::uint8_t* out, std::size_t size) {
            if (packed.size() - at < size) return DecodeResult::Damaged;
            std::memcpy(out, packed.data() + at, size);
            at += size;
            return DecodeResult::Ok;
        };
        std::string content;
        DecodedOutput out(c.content.size(), [&content](const std::uint8_t* data, std::size_t n) {
            content.append(reinterpret_cast<const char*>(data), n);
            return true;
        });
        LzssBlockDecoder decoder;
        EXPECT_EQ(FinishOutput(decoder.decode(packed.size(), c.reading, read, out), out,
                               c.content.size()),
                  DecodeResult::Ok);
        EXPECT_TRUE(content == c.content);
    }
}

TEST(LzssBlocksTest, StoredLengthByEachReading) {
    EXPECT_EQ(StoredBlockLength(static_cast<std::int16_t>(0x8003), StoredBlockReading::LowBits),
              3u);
    EXPECT_EQ(StoredBlockLength(static_cast<std::int16_t>(0x8003), StoredBlockReading::Magnitude),
              32765u);
    EXPECT_EQ(StoredBlockLength(-3, StoredBlockReading::Magnitude), 3u);
    EXPECT_EQ(StoredBlockLength(-32768, StoredBlockReading::Magnitude), 32768u);
    EXPECT_EQ(StoredBlockLength(-32768, StoredBlockReading::LowBits), 0u);
}

}  // namespace
}  // namespace tarvix
