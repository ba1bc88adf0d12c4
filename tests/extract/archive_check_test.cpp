#include "extract/archive_check.h"

#include <zlib.h>

#include "extract/entry_check.h"
#include "extract_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

class ArchiveCheckTest : public test::ExtractFixture {};

datwriter::Entry PackedEntry(std::string name, const std::string& content) {
    auto entry = Make(std::move(name), datwriter::Zlib(content, Z_BEST_COMPRESSION));
    entry.realSize = static_cast<std::uint32_t>(content.size());
    entry.type = 1;
    return entry;
}

// Sound entries and broken ones of every kind, mixed.
std::vector<datwriter::Entry> MixedEntries(int count) {
    std::vector<datwriter::Entry> entries;
    for (int i = 0; i < count; ++i) {
        const std::string name = "F" + std::to_string(i % 9) + "\\E" + std::to_string(i);
        auto entry = PackedEntry(name, std::string(100 + i, static_cast<char>('a' + i % 26)));
        if (i % 11 == 0) entry.data.back() ^= 1;
        if (i % 13 == 0) entry.type = 4;
        if (i % 17 == 0) entry.name = "..\\" + entry.name;
        entries.push_back(entry);
    }
    return entries;
}

TEST_F(ArchiveCheckTest, ManyWorkersGiveTheReportOfOne) {
    Load(MixedEntries(500));
    CheckOptions serial;
    serial.threads = 1;
    const ArchiveCheckReport expected = CheckArchive(archive, table, serial);
    EXPECT_EQ(expected.total, 500u);
    EXPECT_EQ(expected.checked, 500u);
    EXPECT_FALSE(expected.cancelled);
    EXPECT_GT(expected.problems.size(), 80u);
    for (unsigned threads : {2u, 3u, 8u}) {
        CheckOptions parallel;
        parallel.threads = threads;
        EXPECT_EQ(CheckArchive(archive, table, parallel).problems, expected.problems) << threads;
    }
}

TEST_F(ArchiveCheckTest, ProgressCountsEveryEntryAndItsStoredBytes) {
    Load({Make("A", "12345"), PackedEntry("B", std::string(70000, 'b')), Make("C", "")});
    BatchMonitor monitor;
    CheckOptions options;
    options.monitor = &monitor;
    const ArchiveCheckReport report = CheckArchive(archive, table, options);
    EXPECT_TRUE(report.problems.empty());
    const BatchMonitor::Progress progress = monitor.progress();
    EXPECT_EQ(progress.filesDone, 3u);
    EXPECT_EQ(progress.filesTotal, 3u);
    EXPECT_EQ(progress.bytesDone, progress.bytesTotal);
    EXPECT_EQ(progress.bytesTotal, 5u + GetEntrySizes(table, 1).packedSize);
    EXPECT_TRUE(monitor.finished());
}

TEST_F(ArchiveCheckTest, CancelStopsBeforeAnyEntryIsCountedAsChecked) {
    Load(MixedEntries(50));
    BatchMonitor monitor;
    monitor.requestCancel();
    CheckOptions options;
    options.monitor = &monitor;
    const ArchiveCheckReport report = CheckArchive(archive, table, options);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.checked, 0u);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_TRUE(monitor.finished());
}

// Checking and extracting with unpacking agree on every entry's content.
TEST_F(ArchiveCheckTest, ContentProblemsAreTheOutcomesOfUnpacking) {
    Load(MixedEntries(60));
    ExtractTarget target{dest(), std::nullopt, /*unpack*/ true};
    for (EntryIndex i = 0; i < 60; ++i) {
        const EntryCheck check = CheckEntry(archive, table, i);
        const std::string outcome = TextOf(i, ExtractEntry(archive, table, i, target));
        const bool unsafeOnly =
            check.problems.size() == 1 && check.problems[0].starts_with("Unsafe name component");
        if (check.problems.empty() || unsafeOnly) {
            EXPECT_TRUE(outcome == kOutcomeOk || outcome.starts_with("Cannot write")) << i;
        } else {
            EXPECT_EQ(check.problems[0], outcome) << i;
        }
    }
}

}  // namespace
}  // namespace tarvix
