#include "extract/batch_extraction.h"

#include <zlib.h>

#include <csignal>
#include <map>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "extract_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;
using test::ReadFile;
using test::Snapshot;

class BatchExtractionTest : public test::ExtractFixture {
protected:
    BatchReport Run(const std::vector<EntryIndex>& entries, const BatchOptions& options = {}) {
        return ExtractBatch(archive, table, entries, ExtractTarget{dest(), std::nullopt}, options);
    }
};

TEST_F(BatchExtractionTest, OneFailureDoesNotStopTheRest) {
    auto broken = Make("D\\BROKEN", "zz");
    broken.offset = 1000;
    Load({Make("D\\A", "a"), broken, Make("D\\..", "x"), Make("D\\B", "b")});
    const BatchReport report = Run({0, 1, 2, 3});
    EXPECT_EQ(report.total, 4u);
    EXPECT_EQ(report.written, 2u);
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.failures,
              (std::vector<std::string>{"D\\BROKEN: Cannot read DAT file", "Cannot write D\\.."}));
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"A", "a"}, {"B", "b"}}));
}

TEST_F(BatchExtractionTest, ProgressSeesEveryStepAndCanStopBetweenFiles) {
    Load({Make("A", "1"), Make("B", "2"), Make("C", "3")});
    std::vector<std::size_t> seen;
    BatchOptions options;
    options.threads = 1;
    options.beforeEntry = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 3u);
        seen.push_back(done);
        return done < 2;
    };
    const BatchReport report = Run({0, 1, 2}, options);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.written, 2u);
    EXPECT_EQ(Snapshot(dest()).size(), 2u);
    EXPECT_EQ(FormatBatchReport(report), "Extraction cancelled: 2 of 3 file(s) written.");
}

// Whatever the number of workers, the files and the report are those of writing the entries
// one after the other in the order given: of entries with the same output name, the later one
// wins, and failures are listed in that order.
TEST_F(BatchExtractionTest, ParallelWorkersGiveTheResultOfASerialRun) {
    std::vector<datwriter::Entry> entries;
    for (int i = 0; i < 300; ++i) {
        const std::string folder = "D" + std::to_string(i % 7) + "\\";
        entries.push_back(Make(folder + "F" + std::to_string(i % 40), std::to_string(i)));
        if (i % 50 == 0) {
            auto broken = Make(folder + "F" + std::to_string(i % 40), "zz");
            broken.offset = 1 << 30;
            entries.push_back(broken);
        }
    }
    Load(entries);
    std::vector<EntryIndex> order;
    for (EntryIndex i = 0; i < entries.size(); ++i) order.push_back((i * 7919) % entries.size());

    BatchOptions serial;
    serial.threads = 1;
    const BatchReport expected = Run(order, serial);
    const auto expectedFiles = Snapshot(dest());
    ASSERT_EQ(expectedFiles.size(), 40u);
    for (unsigned threads : {2u, 4u, 16u}) {
        SCOPED_TRACE(threads);
        std::filesystem::remove_all(dest());
        std::filesystem::create_directory(dest());
        BatchOptions parallel;
        parallel.threads = threads;
        const BatchReport report = Run(order, parallel);
        EXPECT_EQ(report.written, expected.written);
        EXPECT_EQ(report.failures, expected.failures);
        EXPECT_EQ(Snapshot(dest()), expectedFiles);
    }
}

// An entry that fails after making its folders removes them again while other workers may be
// writing in them: the others still write every file, as one after the other would.
TEST_F(BatchExtractionTest, FoldersRemovedByAFailingEntryDoNotFailItsNeighbours) {
    std::vector<datwriter::Entry> entries;
    for (int folder = 0; folder < 40; ++folder) {
        const std::string path = "A\\B" + std::to_string(folder) + "\\C\\";
        auto damaged = Make(path + "BAD", "not a zlib stream");
        damaged.type = 1;
        entries.push_back(damaged);
        for (int i = 0; i < 3; ++i) {
            const std::string text = path + std::to_string(i);
            entries.push_back(Make(path + "F" + std::to_string(i), datwriter::Zlib(text, 6)));
            entries.back().type = 1;
            entries.back().realSize = static_cast<std::uint32_t>(text.size());
        }
    }
    Load(entries);
    std::vector<EntryIndex> order(entries.size());
    for (EntryIndex i = 0; i < entries.size(); ++i) order[i] = i;
    ExtractTarget target{dest(), std::nullopt, true};
    target.ownFolders = true;
    for (unsigned threads : {1u, 4u, 16u}) {
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE(std::to_string(threads) + " workers, round " + std::to_string(round));
            std::filesystem::remove_all(dest());
            std::filesystem::create_directory(dest());
            BatchOptions options;
            options.threads = threads;
            const BatchReport report = ExtractBatch(archive, table, order, target, options);
            EXPECT_EQ(report.written, 120u);
            ASSERT_EQ(report.failures.size(), 40u);
            EXPECT_EQ(report.failures[0], "A\\B0\\C\\BAD: Packed data is damaged");
            const auto files = Snapshot(dest());
            EXPECT_EQ(files.size(), 1u + 40u * 5u);  // A; each B<n>, its C and three files
            EXPECT_EQ(files.at("A/B7/C/F2"), "A\\B7\\C\\2");
        }
    }
}

// A cancel is seen inside an entry, after its first chunk: the entry stops there and leaves
// neither its partial file nor the folders made for it, whichever way it is written.
TEST_F(BatchExtractionTest, CancelStopsInsideAnEntryAndLeavesNothing) {
    // One byte over what is inflated whole: the packed entry streams through zlib.
    const std::string big((std::size_t{1} << 20) + 1, 'h');
    std::string zlib(compressBound(big.size()), '\0');
    uLongf zlibSize = zlib.size();
    compress2(reinterpret_cast<Bytef*>(zlib.data()), &zlibSize,
              reinterpret_cast<const Bytef*>(big.data()), big.size(), 9);
    zlib.resize(zlibSize);
    auto packed = Make("D\\PACKED", zlib + std::string(1 << 17, '\0'));  // damaged past 64 KiB
    packed.type = 1;
    packed.realSize = static_cast<std::uint32_t>(big.size());
    Load({Make("D\\STORED", big), Make("D\\WRAPPED", "\x78\xDA" + big), packed});
    for (const bool unpack : {false, true}) {
        for (EntryIndex entry : {0u, 1u, 2u}) {
            SCOPED_TRACE(std::to_string(entry) + (unpack ? " unpacked" : " raw"));
            BatchMonitor monitor;
            monitor.requestCancel();
            ExtractShared shared;
            shared.monitor = &monitor;
            const ExtractTarget target{dest(), "NEW\\SUB", unpack};
            EXPECT_EQ(ExtractEntry(archive, table, entry, target, &shared).kind,
                      OutcomeKind::Cancelled);
            EXPECT_EQ(monitor.progress().bytesDone, 64u * 1024);
            EXPECT_TRUE(Snapshot(dest()).empty());
        }
    }
}

// Entries below their own folders: the folder of the selection's parent is dropped, and where
// one name is needed both as a file and as a folder, whichever comes second fails, on any
// number of workers.
TEST_F(BatchExtractionTest, OwnFoldersAndFileFolderClashes) {
    Load({Make("X", "top"), Make("X\\Y", "y"), Make("ART\\CRITTERS\\A", "a"),
          Make("ART\\CRITTERS\\SUB\\B", "b"), Make("Z\\W", "w"), Make("Z", "z")});
    using Files = std::map<std::string, std::string>;
    struct Case {
        const char* label;
        std::string droppedPrefix;
        std::vector<EntryIndex> entries;
        std::vector<std::string> failures;
        Files files;
    };
    const std::vector<Case> cases = {
        {"whole archive",
         "",
         {0, 1, 2, 3, 4, 5},
         {"Cannot write X\\Y: Not a directory", "Cannot write Z: Is a directory"},
         {{"X", "top"},
          {"ART", "<dir>"},
          {"ART/CRITTERS", "<dir>"},
          {"ART/CRITTERS/A", "a"},
          {"ART/CRITTERS/SUB", "<dir>"},
          {"ART/CRITTERS/SUB/B", "b"},
          {"Z", "<dir>"},
          {"Z/W", "w"}}},
        {"a folder below the top",
         "ART\\",
         {2, 3},
         {},
         {{"CRITTERS", "<dir>"},
          {"CRITTERS/A", "a"},
          {"CRITTERS/SUB", "<dir>"},
          {"CRITTERS/SUB/B", "b"}}},
    };
    for (const Case& c : cases) {
        for (unsigned threads : {1u, 4u}) {
            SCOPED_TRACE(std::string(c.label) + ", threads " + std::to_string(threads));
            std::filesystem::remove_all(dest());
            std::filesystem::create_directory(dest());
            ExtractTarget target{dest(), std::nullopt};
            target.ownFolders = true;
            target.droppedPrefix = c.droppedPrefix;
            BatchOptions options;
            options.threads = threads;
            const BatchReport report = ExtractBatch(archive, table, c.entries, target, options);
            EXPECT_EQ(report.failures, c.failures);
            EXPECT_EQ(Snapshot(dest()), c.files);
        }
    }
}

TEST(BatchReportText, EmptyWhenAllSucceededAndCappedAtTwentyLines) {
    BatchReport ok;
    ok.total = ok.written = 5;
    EXPECT_EQ(FormatBatchReport(ok), "");

    BatchReport some;
    some.total = 30;
    for (int i = 0; i < 23; ++i) some.failures.push_back("Cannot write F" + std::to_string(i));
    const std::string text = FormatBatchReport(some);
    EXPECT_EQ(text.substr(0, text.find('\n')), "23 of 30 file(s) could not be extracted:");
    EXPECT_NE(text.find("\nCannot write F19\n"), std::string::npos);
    EXPECT_EQ(text.find("Cannot write F20"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), "... and 3 more");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);

    some.cancelled = true;
    EXPECT_EQ(
        FormatBatchReport(some).rfind("Extraction cancelled: 0 of 30 file(s) written.\n\n23 of", 0),
        0u);
}

#ifndef _WIN32
// Under a file-size limit the big entry cannot be written: it must leave nothing behind, and
// the files on either side of it still land.
TEST_F(BatchExtractionTest, WriteFailingPartWayLeavesNoPartialFile) {
    const std::string big(512 * 1024, 'b');
    Load({Make("A", "first"), Make("BIG", big), Make("C", "last")});
    std::ofstream(dest() / "BIG") << "what was there before";

    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 128 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const BatchReport report = Run({0, 1, 2});
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(report.failures, std::vector<std::string>{"Cannot write BIG: File too large"});
    EXPECT_EQ(Snapshot(dest()),
              (std::map<std::string, std::string>{
                  {"A", "first"}, {"BIG", "what was there before"}, {"C", "last"}}));
}
#endif

}  // namespace
}  // namespace tarvix
