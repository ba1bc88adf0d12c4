#include "archive/large_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace tarvix {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Around the size from which blocks are mapped in 2 MiB pages, and around one and two such
// pages: every byte asked for is there, writable, and given back without harm.
class LargeBlockSizeTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LargeBlockSizeTest, EveryByteIsUsableAndTheBlockIsGivenBack) {
    const std::size_t size = GetParam();
    for (int round = 0; round < 3; ++round) {
        LargeBlock block = AllocateLargeBlock(size);
        ASSERT_TRUE(block);
        std::memset(block.get(), 0xA5, size);
        if (size > 0) {
            EXPECT_EQ(block[size - 1], 0xA5);
        }
        if (size >= kLargeBlockBytes) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % (2 * kMiB), 0U);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeBlockSizeTest,
                         ::testing::Values(0, 1, kLargeBlockBytes - 1, kLargeBlockBytes,
                                           2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 5 * kMiB + 3));

// Sizes no mapping can hold are refused, never wrapped round to a small block.
TEST(LargeBlock, SizesBeyondAnyMappingAreRefused) {
    for (const std::size_t size : {SIZE_MAX, SIZE_MAX - 2 * kMiB, SIZE_MAX - 4 * kMiB}) {
        EXPECT_FALSE(AllocateLargeBlock(size)) << size;
    }
    EXPECT_THROW(static_cast<void>(LargeBlockAllocator<std::uint64_t>{}.allocate(SIZE_MAX / 4)),
                 std::bad_alloc);
}

// A vector grows through small and large blocks and keeps its elements on the way.
TEST(LargeBlockAllocator, VectorKeepsItsElementsAcrossTheThreshold) {
    std::vector<std::uint64_t, LargeBlockAllocator<std::uint64_t>> values;
    for (std::uint64_t i = 0; i < 3 * kMiB / sizeof(std::uint64_t); ++i) values.push_back(i * 7);
    for (std::uint64_t i = 0; i < values.size(); ++i) ASSERT_EQ(values[i], i * 7);
    values.shrink_to_fit();
    values.resize(10);
    values.shrink_to_fit();
    EXPECT_EQ(values[9], 63U);
}

}  // namespace
}  // namespace tarvix
