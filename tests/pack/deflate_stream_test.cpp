// The encoder packing uses: whole files and streams give zlib streams that unpack to their
// content, and a stream's bytes do not depend on how its content was cut into chunks.

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "codec/deflate_encoder.h"

namespace tarvix::test {
namespace {

std::vector<std::uint8_t> Content(std::size_t size, bool compressible) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = compressible ? static_cast<std::uint8_t>("FALLOUT "[i % 8] + (i / 4096) % 3)
                                : static_cast<std::uint8_t>(random());
    }
    return bytes;
}

std::vector<std::uint8_t> Unpacked(const std::vector<std::uint8_t>& packed, std::size_t size) {
    std::vector<std::uint8_t> out(size + 1);
    uLongf outSize = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &outSize, packed.data(), static_cast<uLong>(packed.size())) !=
        Z_OK) {
        return {};
    }
    out.resize(outSize);
    return out;
}

std::vector<std::uint8_t> Streamed(const std::vector<std::uint8_t>& content, std::size_t chunk,
                                   int level) {
    std::vector<std::uint8_t> packed;
    DeflateStream stream(level, [&](std::span<const std::uint8_t> bytes) {
        packed.insert(packed.end(), bytes.begin(), bytes.end());
        return true;
    });
    for (std::size_t at = 0; at < content.size(); at += chunk) {
        EXPECT_TRUE(stream.write({content.data() + at, std::min(chunk, content.size() - at)}));
    }
    EXPECT_TRUE(stream.finish());
    EXPECT_EQ(stream.packedBytes(), packed.size());
    return packed;
}

struct EncoderCase {
    std::size_t size;
    bool compressible;
    int level;
    bool packs;  // whether the packed form is smaller
};

class EncoderTest : public ::testing::TestWithParam<EncoderCase> {};

TEST_P(EncoderTest, WholeAndStreamedUnpackToTheContent) {
    const EncoderCase& c = GetParam();
    const std::vector<std::uint8_t> content = Content(c.size, c.compressible);

    std::vector<std::uint8_t> whole;
    const bool packed = PackWhole(content, c.level, whole);
    EXPECT_EQ(packed, c.packs);
    if (packed) {
        EXPECT_LT(whole.size(), content.size());
        EXPECT_EQ(Unpacked(whole, content.size()), content);
        if (c.level == 9) {
            EXPECT_EQ(whole[0], 0x78);
            EXPECT_EQ(whole[1], 0xDA);
        }
    }

    const std::vector<std::uint8_t> streamed = Streamed(content, 1 << 16, c.level);
    EXPECT_EQ(Unpacked(streamed, content.size()), content);
    for (const std::size_t chunk : {std::size_t{1000}, std::size_t{1} << 20}) {
        EXPECT_EQ(Streamed(content, chunk, c.level), streamed) << "chunks of " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P(Contents, EncoderTest,
                         ::testing::Values(EncoderCase{100000, true, 9, true},
                                           EncoderCase{100000, false, 9, false},
                                           EncoderCase{3 << 20, true, 1, true},
                                           EncoderCase{1, true, 9, false},
                                           EncoderCase{40, false, 6, false}));

TEST(EncoderTest, RefusesWhatCannotGetSmaller) {
    std::vector<std::uint8_t> packed;
    EXPECT_FALSE(PackWhole({}, 9, packed));
    EXPECT_FALSE(PackWhole(Content(1000, true), 0, packed));  // level 0 stores
}

}  // namespace
}  // namespace tarvix::test
