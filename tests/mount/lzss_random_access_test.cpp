#include "mount/lzss_random_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "lzss_encoder.h"
#include "zlib_samples.h"

namespace tarvix::mount {
namespace {

using Result = LzssRandomAccess::Result;

constexpr std::size_t kContentBytes = std::size_t{2} << 20;
constexpr std::size_t kBlockContent = 16384;
constexpr std::uint64_t kStreamSpan = 256 << 10;
// Content one step may decode beyond what a read asks: a block, or a piece of one stream.
constexpr double kStepBytes = 300 << 10;

enum class Form { Blocks, Stream };

struct Sample {
    std::string content = test::SampleContent(kContentBytes, 11);
    std::string blocks = datwriter::LzssBlocks(content, {.blockContent = kBlockContent});
    std::string stream = datwriter::LzssEncode(content);
    const std::string& stored(Form form) const { return form == Form::Blocks ? blocks : stream; }
};
const Sample& TheSample() {
    static const Sample sample;
    return sample;
}

// Where each block's header lies in `blocks`, read as the game reads them.
std::vector<std::size_t> BlockStarts(const std::string& blocks) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + 2 <= blocks.size();) {
        starts.push_back(at);
        const int header = static_cast<unsigned char>(blocks[at]) << 8 |
                           static_cast<unsigned char>(blocks[at + 1]);
        if (header == 0) break;
        at += 2 + static_cast<std::size_t>(header & 0x7FFF);
    }
    return starts;
}

std::unique_ptr<LzssRandomAccess> Over(const std::string& stored, std::size_t realSize, Form form) {
    std::optional<StoredBlockReading> reading;
    if (form == Form::Blocks) reading = StoredBlockReading::LowBits;
    return std::make_unique<LzssRandomAccess>(
        [&stored](std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
            if (offset >= stored.size()) return std::size_t{0};
            const std::size_t n = std::min<std::size_t>(size, stored.size() - offset);
            std::copy_n(stored.data() + offset, n, buffer);
            return n;
        },
        static_cast<std::uint32_t>(stored.size()), static_cast<std::uint32_t>(realSize), reading,
        kStreamSpan);
}

using Reads = std::vector<std::pair<std::size_t, std::size_t>>;  // offset, size

Reads Sequential(std::size_t chunk) {
    Reads reads;
    for (std::size_t at = 0; at < kContentBytes; at += chunk) reads.emplace_back(at, chunk);
    return reads;
}
Reads Backwards(std::size_t chunk) {
    Reads reads = Sequential(chunk);
    std::reverse(reads.begin(), reads.end());
    return reads;
}
Reads Random(unsigned seed, int count) {
    std::mt19937 random(seed);
    Reads reads;
    for (int i = 0; i < count; ++i)
        reads.emplace_back(random() % kContentBytes, 1 + random() % 70'000);
    return reads;
}

struct ReadCase {
    const char* name;
    Form form;
    Reads reads;
    // Decoded at most this many times the content: 1 for reads that never go back.
    double decodedBound;
};

class LzssReadPatternTest : public testing::TestWithParam<ReadCase> {};

TEST_P(LzssReadPatternTest, EveryReadGivesTheContentAndDecodesLittleTwice) {
    const Sample& sample = TheSample();
    const ReadCase& c = GetParam();
    const auto decoder = Over(sample.stored(c.form), kContentBytes, c.form);
    std::vector<std::uint8_t> buffer;
    for (const auto& [offset, size] : c.reads) {
        buffer.assign(size, 0);
        std::size_t produced = 0;
        ASSERT_EQ(decoder->read(offset, buffer.data(), size, produced), Result::Ok) << offset;
        const std::size_t expected =
            std::min(size, kContentBytes - std::min(offset, kContentBytes));
        ASSERT_EQ(produced, expected) << offset;
        ASSERT_EQ(0, std::memcmp(buffer.data(), sample.content.data() + offset, produced))
            << "at " << offset;
    }
    EXPECT_LE(decoder->decodedBytes(), c.decodedBound * kContentBytes);
}

// A restart costs at most a span, the read and a step beyond it.
double RandomBound(std::uint64_t span, int reads) {
    return 1.0 + reads * (static_cast<double>(span) + 70'000 + 2 * kStepBytes) / kContentBytes;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LzssReadPatternTest,
    testing::Values(ReadCase{"BlocksSequential4K", Form::Blocks, Sequential(4096), 1.0},
                    ReadCase{"BlocksSequential128K", Form::Blocks, Sequential(128 << 10), 1.0},
                    ReadCase{"BlocksWholeInOneRead", Form::Blocks, {{0, kContentBytes}}, 1.0},
                    ReadCase{"BlocksLastBytesFirst",
                             Form::Blocks,
                             {{kContentBytes - 10, 10}, {0, 10}},
                             1.0 + kStepBytes / kContentBytes},
                    ReadCase{"BlocksPastTheEnd", Form::Blocks, {{kContentBytes, 10}}, 0.0},
                    ReadCase{"BlocksBackwards", Form::Blocks, Backwards(256 << 10), 3.0},
                    ReadCase{"BlocksRandom", Form::Blocks, Random(1, 200),
                             RandomBound(LzssRandomAccess::kBlockSpan + kBlockContent, 200)},
                    ReadCase{"StreamSequential4K", Form::Stream, Sequential(4096), 1.0},
                    ReadCase{"StreamSequential128K", Form::Stream, Sequential(128 << 10), 1.0},
                    ReadCase{"StreamWholeInOneRead", Form::Stream, {{0, kContentBytes}}, 1.0},
                    ReadCase{"StreamLastBytesFirst",
                             Form::Stream,
                             {{kContentBytes - 10, 10}, {0, 10}},
                             1.0 + kStepBytes / kContentBytes},
                    ReadCase{"StreamBackwards", Form::Stream, Backwards(256 << 10), 3.0},
                    ReadCase{"StreamRandom", Form::Stream, Random(2, 200),
                             RandomBound(kStreamSpan, 200)}),
    [](const auto& info) { return info.param.name; });

// How an entry is broken, and where reads must start failing.
struct DamageCase {
    const char* name;
    Form form;
    std::string (*stored)(const Sample&);
    std::size_t realSize;
    std::size_t damagedFrom;  // the first byte no read may hand out
};

class LzssDamageTest : public testing::TestWithParam<DamageCase> {};

TEST_P(LzssDamageTest, ReadsFailFromThePointOfDamageAndNeverGiveWrongBytes) {
    const Sample& sample = TheSample();
    const DamageCase& c = GetParam();
    const std::string stored = c.stored(sample);
    const auto decoder = Over(stored, c.realSize, c.form);
    constexpr std::size_t kChunk = 32 << 10;
    std::vector<std::uint8_t> buffer(kChunk);
    for (std::size_t at = 0; at < c.realSize; at += kChunk) {
        const std::size_t size = std::min(kChunk, c.realSize - at);
        std::size_t produced = 0;
        const Result result = decoder->read(at, buffer.data(), size, produced);
        if (at + size <= c.damagedFrom) {
            ASSERT_EQ(result, Result::Ok) << "at " << at;
            ASSERT_EQ(0, std::memcmp(buffer.data(), sample.content.data() + at, produced));
        } else {
            ASSERT_EQ(result, Result::Damaged) << "at " << at;
            EXPECT_EQ(produced, 0u);
        }
    }
    std::size_t produced = 0;
    ASSERT_GT(c.damagedFrom, 0u);
    EXPECT_EQ(decoder->read(c.damagedFrom - 1, buffer.data(), 1, produced), Result::Ok);
    EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(sample.content[c.damagedFrom - 1]));
    EXPECT_EQ(decoder->read(c.damagedFrom, buffer.data(), 1, produced), Result::Damaged);
}

constexpr std::size_t kBrokenBlock = 40;

// The samples with block `kBrokenBlock` written as literals, its last flag bit flipped so that
// its last item is a match cut short: the block decodes a byte short, the rest shifted.
std::string LastItemOfAMiddleBlockCutShort(const Sample& s) {
    const std::vector<std::size_t> starts = BlockStarts(s.blocks);
    std::string body;
    const std::string_view content =
        std::string_view(s.content).substr(kBrokenBlock * kBlockContent, kBlockContent);
    for (std::size_t at = 0; at < content.size(); at += 8) {
        body.push_back(at + 8 < content.size() ? '\xFF' : '\x7F');
        body.append(content.substr(at, 8));
    }
    const std::string header{static_cast<char>(body.size() >> 8), static_cast<char>(body.size())};
    return s.blocks.substr(0, starts[kBrokenBlock]) + header + body +
           s.blocks.substr(starts[kBrokenBlock + 1]);
}

INSTANTIATE_TEST_SUITE_P(
    Broken, LzssDamageTest,
    testing::Values(
        DamageCase{"BlocksCutInsideABlock", Form::Blocks,
                   [](const Sample& s) {
                       return s.blocks.substr(0, BlockStarts(s.blocks)[kBrokenBlock] + 100);
                   },
                   kContentBytes, kBrokenBlock* kBlockContent},
        DamageCase{"BlocksMiddleBlockEndsInsideAMatch", Form::Blocks,
                   LastItemOfAMiddleBlockCutShort, kContentBytes, kBrokenBlock* kBlockContent},
        DamageCase{"BlocksZeroHeaderBeforeTheEnd", Form::Blocks,
                   [](const Sample& s) {
                       std::string stored = s.blocks;
                       const std::size_t at = BlockStarts(s.blocks)[kBrokenBlock];
                       stored[at] = stored[at + 1] = '\0';
                       return stored;
                   },
                   kContentBytes, kBrokenBlock* kBlockContent},
        // A byte the content never holds can only be a literal, so the output runs over
        // exactly at its end.
        DamageCase{"BlocksLongerThanRealSize", Form::Blocks,
                   [](const Sample& s) {
                       return datwriter::LzssBlocks(s.content + "\xFF",
                                                    {.blockContent = kBlockContent});
                   },
                   kContentBytes, kContentBytes - 1},
        DamageCase{"BlocksShorterThanRealSize", Form::Blocks,
                   [](const Sample& s) { return s.blocks; }, kContentBytes + 1, kContentBytes},
        DamageCase{"StreamEndsInsideAMatch", Form::Stream,
                   [](const Sample& s) { return s.stream + std::string("\x00\x01", 2); },
                   kContentBytes, kContentBytes - 1},
        DamageCase{"StreamLongerThanRealSize", Form::Stream,
                   [](const Sample& s) { return datwriter::LzssEncode(s.content + "\xFF"); },
                   kContentBytes, kContentBytes - 1},
        DamageCase{"StreamShorterThanRealSize", Form::Stream,
                   [](const Sample& s) { return s.stream; }, kContentBytes + 1, kContentBytes}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::mount
