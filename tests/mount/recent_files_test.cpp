#include "mount/recent_files.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvix::mount {
namespace {

class CountedFile final : public OpenFile {
public:
    long read(std::uint64_t, std::uint8_t*, std::size_t) override { return 0; }
};

struct RecentCase {
    const char* name;
    std::size_t capacity;
    std::vector<NodeId> reads;
    std::vector<NodeId> opened;  // the nodes opened, in order
};

class RecentFilesTest : public testing::TestWithParam<RecentCase> {};

TEST_P(RecentFilesTest, OpensOnlyWhatIsNotKept) {
    const RecentCase& c = GetParam();
    RecentFiles recent(c.capacity);
    std::vector<NodeId> opened;
    for (const NodeId id : c.reads) {
        const auto file = recent.get(id, [&] {
            opened.push_back(id);
            return std::make_unique<CountedFile>();
        });
        ASSERT_NE(file, nullptr);
    }
    EXPECT_EQ(opened, c.opened);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, RecentFilesTest,
    testing::Values(RecentCase{"OnePieceAfterAnother", 2, {1, 1, 1, 2, 2}, {1, 2}},
                    RecentCase{"TwoReadersInTurn", 2, {1, 2, 1, 2, 1}, {1, 2}},
                    RecentCase{"TheLeastRecentGoes", 2, {1, 2, 1, 3, 1, 2}, {1, 2, 3, 2}},
                    RecentCase{"NothingKept", 0, {1, 1}, {1, 1}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::mount
