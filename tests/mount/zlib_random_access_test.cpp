#include "mount/zlib_random_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "zlib_samples.h"

namespace tarvix::mount {
namespace {

using test::SampleContent;
using test::WithInvalidBlock;
using test::ZlibWithBlockStarts;
using Result = ZlibRandomAccess::Result;

constexpr std::size_t kContentBytes = 3 << 20;
constexpr std::size_t kBlockEvery = 100'000;
constexpr std::uint64_t kSpan = 256 << 10;

struct Sample {
    std::string content = SampleContent(kContentBytes, 7);
    std::vector<std::size_t> blockStarts;
    std::string stream = ZlibWithBlockStarts(content, kBlockEvery, blockStarts);
};
const Sample& TheSample() {
    static const Sample sample;
    return sample;
}

ZlibRandomAccess Over(const std::string& stored, std::size_t realSize) {
    return ZlibRandomAccess(
        [&stored](std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
            if (offset >= stored.size()) return std::size_t{0};
            const std::size_t n = std::min<std::size_t>(size, stored.size() - offset);
            std::copy_n(stored.data() + offset, n, buffer);
            return n;
        },
        static_cast<std::uint32_t>(stored.size()), static_cast<std::uint32_t>(realSize), kSpan);
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
    Reads reads;
    // Inflated at most this many times the content: 1 for reads that never go back.
    double inflatedBound;
};

class ReadPatternTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadPatternTest, EveryReadGivesTheContentAndInflatesLittleTwice) {
    const Sample& sample = TheSample();
    ZlibRandomAccess inflater = Over(sample.stream, kContentBytes);
    std::vector<std::uint8_t> buffer;
    for (const auto& [offset, size] : GetParam().reads) {
        buffer.assign(size, 0);
        std::size_t produced = 0;
        ASSERT_EQ(inflater.read(offset, buffer.data(), size, produced), Result::Ok) << offset;
        const std::size_t expected =
            std::min(size, kContentBytes - std::min(offset, kContentBytes));
        ASSERT_EQ(produced, expected) << offset;
        ASSERT_EQ(0, std::memcmp(buffer.data(), sample.content.data() + offset, produced))
            << "at " << offset;
    }
    EXPECT_LE(inflater.inflatedBytes(), GetParam().inflatedBound * kContentBytes);
    EXPECT_LE(inflater.pointCount(), kContentBytes / kSpan + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ReadPatternTest,
    testing::Values(
        ReadCase{"Sequential4K", Sequential(4096), 1.0},
        ReadCase{"Sequential128K", Sequential(128 << 10), 1.0},
        ReadCase{"WholeInOneRead", {{0, kContentBytes}}, 1.0},
        ReadCase{"LastBytesFirst", {{kContentBytes - 10, 10}, {0, 10}}, 1.001},
        ReadCase{"PastTheEnd", {{kContentBytes, 10}, {kContentBytes + 5, 1}}, 0.0},
        // Each step back restarts at most one span before the read.
        ReadCase{"Backwards", Backwards(256 << 10), 1.0 + 2.0},
        ReadCase{"RandomA", Random(1, 300), 1.0 + 300.0 * (kSpan + 70'000) / kContentBytes},
        ReadCase{"RandomB", Random(2, 300), 1.0 + 300.0 * (kSpan + 70'000) / kContentBytes}),
    [](const auto& info) { return info.param.name; });

// How a stream is broken, and where reads must start failing.
struct DamageCase {
    const char* name;
    std::string (*stored)(const Sample&);
    std::size_t realSize;
    std::size_t damagedFrom;  // the first byte no read may hand out
};

class DamageTest : public testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, ReadsFailFromThePointOfDamageAndNeverGiveWrongBytes) {
    const Sample& sample = TheSample();
    const DamageCase& c = GetParam();
    const std::string stored = c.stored(sample);
    ZlibRandomAccess inflater = Over(stored, c.realSize);
    constexpr std::size_t kChunk = 32 << 10;
    std::vector<std::uint8_t> buffer(kChunk);
    for (std::size_t at = 0; at < c.realSize; at += kChunk) {
        const std::size_t size = std::min(kChunk, c.realSize - at);
        std::size_t produced = 0;
        const Result result = inflater.read(at, buffer.data(), size, produced);
        if (at + size <= c.damagedFrom) {
            ASSERT_EQ(result, Result::Ok) << "at " << at;
            ASSERT_EQ(0, std::memcmp(buffer.data(), sample.content.data() + at, produced));
        } else {
            ASSERT_EQ(result, Result::Damaged) << "at " << at;
            EXPECT_EQ(produced, 0u);
        }
    }
    // Going back before the damage still works; going past it still fails.
    std::size_t produced = 0;
    if (c.damagedFrom > 0) {
        EXPECT_EQ(inflater.read(c.damagedFrom - 1, buffer.data(), 1, produced), Result::Ok);
        if (c.damagedFrom <= kContentBytes) {
            EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(sample.content[c.damagedFrom - 1]));
        }
    }
    EXPECT_EQ(inflater.read(c.damagedFrom, buffer.data(), 1, produced), Result::Damaged);
}

std::size_t SecondBlockStart(const Sample& s) {
    return s.blockStarts[1];
}

INSTANTIATE_TEST_SUITE_P(
    Broken, DamageTest,
    testing::Values(
        DamageCase{"InvalidBlockInTheMiddle",
                   [](const Sample& s) { return WithInvalidBlock(s.stream, s.blockStarts[12]); },
                   kContentBytes, 13 * kBlockEvery},
        DamageCase{"InvalidSecondBlock",
                   [](const Sample& s) { return WithInvalidBlock(s.stream, SecondBlockStart(s)); },
                   kContentBytes, 2 * kBlockEvery},
        DamageCase{"WrongChecksum",
                   [](const Sample& s) {
                       std::string stored = s.stream;
                       stored.back() = static_cast<char>(stored.back() ^ 1);
                       return stored;
                   },
                   kContentBytes, kContentBytes - 1},
        DamageCase{"LongerThanRealSize", [](const Sample& s) { return s.stream; },
                   kContentBytes - 1, kContentBytes - 2},
        DamageCase{"ShorterThanRealSize", [](const Sample& s) { return s.stream; },
                   kContentBytes + 1, kContentBytes},
        DamageCase{"BytesAfterTheChecksum", [](const Sample& s) { return s.stream + "x"; },
                   kContentBytes, kContentBytes - 1},
        DamageCase{"CutShort",
                   [](const Sample& s) { return s.stream.substr(0, s.blockStarts[4] + 4); },
                   kContentBytes, 5 * kBlockEvery},
        DamageCase{"NotAZlibHeader",
                   [](const Sample& s) {
                       std::string stored = s.stream;
                       stored[1] = static_cast<char>(stored[1] ^ 1);
                       return stored;
                   },
                   kContentBytes, 0}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::mount
