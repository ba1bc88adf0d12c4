#include "mount/recent_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
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

// Another reader comes while a file is being opened: for that file, or another.
struct OverlapCase {
    const char* name;
    NodeId other;
    bool sameFile;  // both readers end with the one the other reader kept
};

class RecentFilesOverlapTest : public testing::TestWithParam<OverlapCase> {};

TEST_P(RecentFilesOverlapTest, OpeningHoldsUpNoOtherReaderAndTheFirstKeptWins) {
    const OverlapCase& c = GetParam();
    RecentFiles recent;
    const auto open = [] { return std::make_unique<CountedFile>(); };
    std::future<std::shared_ptr<OpenFile>> other;
    bool otherFinished = false;
    const auto mine = recent.get(1, [&] {
        other = std::async(std::launch::async, [&] { return recent.get(c.other, open); });
        // Bounded, and waited for only once this opening is over, so that a reader held up
        // by it fails the test rather than hangs it.
        otherFinished = other.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        return open();
    });
    const auto others = other.get();
    EXPECT_TRUE(otherFinished);
    EXPECT_EQ(mine == others, c.sameFile);
    EXPECT_EQ(recent.get(1, open), mine);
}

INSTANTIATE_TEST_SUITE_P(Overlaps, RecentFilesOverlapTest,
                         testing::Values(OverlapCase{"AnotherFile", 2, false},
                                         OverlapCase{"TheSameFile", 1, true}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::mount
