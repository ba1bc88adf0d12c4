// tarvix-cli extract: what lands on disk and what is reported, by running the built program.

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "cli_fixture.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using datwriter::Make;
using Files = std::map<std::string, std::string>;

// More than one 64 KiB chunk once unpacked, so the stream is inflated in several steps.
const std::string kIface = LongText(300000);

// Two entries with the same file name in different folders; the later one is SOUND's.
std::vector<datwriter::Entry> ModEntries() {
    return {
        Packed("ART\\INTRFACE\\IFACE.FRM", kIface),
        Make("ART\\INTRFACE\\HELP.TXT", "help"),
        Make("SOUND\\SFX\\IFACE.FRM", "other"),
        Make("README.TXT", "readme"),
    };
}

// The ".gz" wrapping of the window: a fixed gzip header, the name, then the deflate data.
std::string GzipWrapped(const std::string& name, const std::string& zlibStream) {
    return std::string("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03", 10) + name + '\0' +
           zlibStream.substr(2);
}

struct ExtractCase {
    const char* what;
    std::vector<std::string> options;   // before the archive
    std::vector<std::string> patterns;  // after it
    Files files;                        // below the destination afterwards
    std::string err;                    // what is reported on stderr
};

class ExtractTest : public CliTest, public ::testing::WithParamInterface<ExtractCase> {};

TEST_P(ExtractTest, WritesTheSelectedEntries) {
    const ExtractCase& c = GetParam();
    fs::create_directory(work / "out");
    std::vector<std::string> args = {"extract", "-C", (work / "out").string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(Archive(ModEntries()));
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);  // no progress line off a terminal
    EXPECT_EQ(Snapshot(work / "out"), c.files);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ExtractTest,
    ::testing::Values(
        ExtractCase{"every entry at its full path, unpacked",
                    {},
                    {},
                    {{"ART", "<dir>"},
                     {"ART/INTRFACE", "<dir>"},
                     {"ART/INTRFACE/IFACE.FRM", kIface},
                     {"ART/INTRFACE/HELP.TXT", "help"},
                     {"SOUND", "<dir>"},
                     {"SOUND/SFX", "<dir>"},
                     {"SOUND/SFX/IFACE.FRM", "other"},
                     {"README.TXT", "readme"}},
                    ""},
        ExtractCase{"flat: no folders, the later of two names wins",
                    {"--flat"},
                    {},
                    {{"IFACE.FRM", "other"}, {"HELP.TXT", "help"}, {"README.TXT", "readme"}},
                    "ART\\INTRFACE\\IFACE.FRM: replaced by SOUND\\SFX\\IFACE.FRM in IFACE.FRM\n"},
        ExtractCase{
            "raw: stored bytes, zlib streams wrapped as gzip",
            {"--raw", "--flat"},
            {"art/intrface"},
            {{"IFACE.FRM.gz", GzipWrapped("IFACE.FRM", Zlib(kIface))}, {"HELP.TXT", "help"}},
            ""},
        ExtractCase{"a folder pattern keeps the full path",
                    {},
                    {"sound"},
                    {{"SOUND", "<dir>"}, {"SOUND/SFX", "<dir>"}, {"SOUND/SFX/IFACE.FRM", "other"}},
                    ""},
        ExtractCase{"quiet changes nothing but the progress line",
                    {"-q"},
                    {"*.TXT"},
                    {{"ART", "<dir>"},
                     {"ART/INTRFACE", "<dir>"},
                     {"ART/INTRFACE/HELP.TXT", "help"},
                     {"README.TXT", "readme"}},
                    ""}),
    NameOfCase<ExtractCase>);

struct WrittenReportCase {
    const char* what;
    std::vector<std::string> options;  // before the archive
    std::vector<datwriter::Entry> entries;
    int status;
    std::string out;  // the files named on stdout
    std::string err;  // the entries named on stderr
};

class WrittenReportTest : public CliTest,
                          public ::testing::WithParamInterface<WrittenReportCase> {};

TEST_P(WrittenReportTest, NamesTheFilesWrittenAndReplaced) {
    const WrittenReportCase& c = GetParam();
    fs::create_directory(work / "out");
    std::vector<std::string> args = {"extract", "--directory=out"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(Archive(c.entries));
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

datwriter::Entry Damaged(std::string name) {
    auto entry = Packed(std::move(name), LongText(1000));
    entry.data[entry.data.size() / 2] ^= 0x55;
    return entry;
}

INSTANTIATE_TEST_SUITE_P(
    Options, WrittenReportTest,
    ::testing::Values(
        WrittenReportCase{"verbose: each file below the destination, in order",
                          {"-v"},
                          ModEntries(),
                          0,
                          "ART/INTRFACE/IFACE.FRM\nART/INTRFACE/HELP.TXT\nSOUND/SFX/IFACE.FRM\n"
                          "README.TXT\n",
                          ""},
        WrittenReportCase{"verbose raw flat: a wrapped file and a stored one of one name",
                          {"--verbose", "--raw", "--flat"},
                          ModEntries(),
                          0,
                          "IFACE.FRM.gz\nHELP.TXT\nIFACE.FRM\nREADME.TXT\n",
                          ""},
        WrittenReportCase{"verbose names no failed entry",
                          {"-qv"},
                          {Make("A\\GOOD.TXT", "g"), Damaged("A\\BAD.TXT")},
                          1,
                          "A/GOOD.TXT\n",
                          "A\\BAD.TXT: Packed data is damaged\n"},
        WrittenReportCase{"verbose shows control characters as '?'",
                          {"-v"},
                          {Make("A\\B\x01"
                                "C.TXT",
                                "c")},
                          0,
                          "A/B?C.TXT\n",
                          ""},
        WrittenReportCase{"flat: three of one name, each replaced by the next",
                          {"--flat"},
                          {Make("A\\X.TXT", "a"), Make("B\\X.TXT", "b"), Make("C\\X.TXT", "c")},
                          0,
                          "",
                          "A\\X.TXT: replaced by B\\X.TXT in X.TXT\n"
                          "B\\X.TXT: replaced by C\\X.TXT in X.TXT\n"},
        WrittenReportCase{"flat: a later entry that fails replaces nothing",
                          {"--flat"},
                          {Make("A\\X.TXT", "a"), Damaged("B\\X.TXT")},
                          1,
                          "",
                          "B\\X.TXT: Packed data is damaged\n"},
        WrittenReportCase{"flat: names differing in case are two files",
                          {"--flat"},
                          {Make("A\\X.TXT", "a"), Make("B\\x.txt", "b")},
                          0,
                          "",
                          ""},
        WrittenReportCase{"one name twice in the directory",
                          {"-v"},
                          {Make("D\\X.TXT", "1"), Make("D\\X.TXT", "2")},
                          0,
                          "D/X.TXT\nD/X.TXT\n",
                          "D\\X.TXT: replaced by D\\X.TXT in D/X.TXT\n"},
        WrittenReportCase{"empty folder components write the same file",
                          {},
                          {Make("D\\\\X.TXT", "1"), Make("D\\X.TXT", "2")},
                          0,
                          "",
                          "D\\\\X.TXT: replaced by D\\X.TXT in D/X.TXT\n"}),
    NameOfCase<WrittenReportCase>);

TEST_F(CliTest, ExtractsIntoTheCurrentFolderAndReplacesExistingFiles) {
    work.write("README.TXT", "old");
    const CliRun run = Run({"extract", Archive(ModEntries()), "readme.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(work / "README.TXT"), "readme");
}

TEST_F(CliTest, JoinedFolderOptionWorksToo) {
    fs::create_directory(work / "o");
    EXPECT_EQ(Run({"extract", "-qCo", Archive(ModEntries()), "README.TXT"}).status, 0);
    EXPECT_EQ(Snapshot(work / "o"), (Files{{"README.TXT", "readme"}}));
}

TEST_F(CliTest, LongFolderOptionTakesItsFolderEitherWay) {
    fs::create_directory(work / "o");
    fs::create_directory(work / "p");
    EXPECT_EQ(Run({"extract", "--directory=o", Archive(ModEntries()), "README.TXT"}).status, 0);
    EXPECT_EQ(
        Run({"extract", "--directory", "p", Archive(ModEntries()), "art/intrface/help.txt"}).status,
        0);
    EXPECT_EQ(Snapshot(work / "o"), (Files{{"README.TXT", "readme"}}));
    EXPECT_EQ(
        Snapshot(work / "p"),
        (Files{{"ART", "<dir>"}, {"ART/INTRFACE", "<dir>"}, {"ART/INTRFACE/HELP.TXT", "help"}}));
}

// A damaged stream, data past the file's end, an unknown Type and an unsafe name each fail on
// their own, named on stderr in the order asked for; the rest is written.
TEST_F(CliTest, EachFailedEntryIsNamedAndTheRestWritten) {
    auto damaged = Packed("D\\BAD.TXT", LongText(1000));
    damaged.data[damaged.data.size() / 2] ^= 0x55;
    auto pastEnd = Make("D\\GONE.TXT", "zz");
    pastEnd.offset = 1 << 20;
    auto unknown = Make("D\\ODD.TXT", "odd");
    unknown.type = 3;
    fs::create_directory(work / "out");
    const CliRun run = Run({"extract", "-C", "out",
                            Archive({damaged, Make("D\\GOOD.TXT", "good"), pastEnd, unknown,
                                     Make("..\\EVIL.TXT", "evil")})});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "D\\BAD.TXT: Packed data is damaged\n"
              "D\\GONE.TXT: Cannot read DAT file\n"
              "D\\ODD.TXT: Unknown packing (Type 3)\n"
              "Cannot write ..\\EVIL.TXT\n");
    EXPECT_EQ(Snapshot(work / "out"), (Files{{"D", "<dir>"}, {"D/GOOD.TXT", "good"}}));
}

struct BadDestinationCase {
    const char* what;
    std::string dir;
    std::string err;
};

class BadDestinationTest : public CliTest,
                           public ::testing::WithParamInterface<BadDestinationCase> {};

TEST_P(BadDestinationTest, IsAUsageErrorAndWritesNothing) {
    const BadDestinationCase& c = GetParam();
    work.write("file", "");
    const CliRun run = Run({"extract", "-C", c.dir, Archive(ModEntries())});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, c.err);
    EXPECT_FALSE(fs::exists(work / "README.TXT"));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, BadDestinationTest,
    ::testing::Values(
        BadDestinationCase{"missing", "missing", "tarvix-cli: 'missing': no such folder\n"},
        BadDestinationCase{"a file", "file", "tarvix-cli: 'file': not a folder\n"},
        BadDestinationCase{"below a file", "file/sub", "tarvix-cli: 'file/sub': no such folder\n"},
        BadDestinationCase{"too long a name", std::string(5000, 'd'),
                           "tarvix-cli: '" + std::string(5000, 'd') + "': File name too long\n"}),
    NameOfCase<BadDestinationCase>);

TEST_F(CliTest, ReadOnlyFolderFailsEveryEntry) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::create_directory(work / "ro");
    fs::permissions(work / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    const CliRun run = Run({"extract", "-C", "ro", Archive(ModEntries()), "*.TXT"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Cannot write ART\\INTRFACE\\HELP.TXT: Permission denied\n"
              "Cannot write README.TXT: Permission denied\n");
    fs::permissions(work / "ro", fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(work / "ro"));
}

// Entries in folders of their own that each unpack to 1 MiB: a batch long enough to be
// stopped part-way.
std::vector<datwriter::Entry> SlowEntries() {
    const datwriter::Entry megabyte = Packed("F", std::string(1 << 20, 'z'));
    std::vector<datwriter::Entry> entries(300, megabyte);
    for (int i = 0; i < 300; ++i) entries[i].name = "D" + std::to_string(i) + "\\F";
    return entries;
}

// What a stopped run left: no temporary file, no file cut short, and after a clean stop no
// folder without its file (a process ended at once leaves the folders it was writing in).
void ExpectNothingHalfDone(const fs::path& out, bool cleanStop) {
    for (const auto& item : fs::recursive_directory_iterator(out)) {
        const std::string name = item.path().filename().string();
        EXPECT_FALSE(name.starts_with(".tarvix-")) << item.path();
        if (item.is_directory() && cleanStop) {
            EXPECT_TRUE(fs::exists(item.path() / "F")) << item.path();
        }
        if (item.is_regular_file()) {
            EXPECT_EQ(fs::file_size(item.path()), 1u << 20) << item.path();
        }
    }
}

struct StopCase {
    const char* what;
    std::vector<int> signals;
    int status;  // 0: 128 plus either signal's number
    bool clean;  // stopped by the batch, "interrupted: ..." said; else ended at once
};

class StopTest : public CliTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, StopsCleanlyPartWay) {
    const StopCase& c = GetParam();
    fs::create_directory(work / "out");
    const std::string archive = Archive(SlowEntries());
    bool signalled = false;
    const CliRun run = RunCliSignalled(
        {"extract", "-C", "out", archive}, work.path(), [&] { return !fs::is_empty(work / "out"); },
        c.signals, signalled);
    ASSERT_TRUE(signalled) << "nothing was written within ten seconds";
    if (c.status != 0) {
        EXPECT_EQ(run.status, c.status) << run.err;
    } else {
        EXPECT_TRUE(run.status == 128 + c.signals[0] || run.status == 128 + c.signals[1])
            << run.status;
    }
    EXPECT_EQ(run.err.find("tarvix-cli: interrupted: ") != std::string::npos, c.clean) << run.err;
    ExpectNothingHalfDone(work / "out", c.clean);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StopTest,
    ::testing::Values(StopCase{"Ctrl+C", {SIGINT}, 130, true},
                      StopCase{"SIGTERM", {SIGTERM}, 143, true},
                      StopCase{"SIGHUP", {SIGHUP}, 129, true},
                      // Two of one signal sent at once arrive as one; two kinds arrive both.
                      // Either may be taken first: the status is for one of them.
                      StopCase{"Ctrl+C and SIGTERM end at once", {SIGINT, SIGTERM}, 0, false},
                      StopCase{"SIGHUP and Ctrl+C end at once", {SIGHUP, SIGINT}, 0, false}),
    NameOfCase<StopCase>);

// Overlapping entries that claim 4 GiB each once unpacked: far more than any disk has. Raw,
// they are a few bytes each and fit.
TEST_F(CliTest, BatchThatCannotFitIsRefusedBeforeAnythingIsWritten) {
    std::vector<datwriter::Entry> entries;
    for (int i = 0; i < 3000; ++i) {
        datwriter::Entry entry = Packed("D\\E" + std::to_string(i), "x");
        entry.realSize = 0xFFFFFFFFu;
        entry.offset = 0;
        entries.push_back(entry);
    }
    const std::string archive = Archive(entries);
    fs::create_directory(work / "out");
    const CliRun refused = Run({"extract", "-C", "out", archive});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.starts_with(
        "tarvix-cli: Not enough free space: the files need 12.9 TB, the destination has "))
        << refused.err;
    EXPECT_TRUE(refused.err.ends_with(". Nothing was written.\n")) << refused.err;
    EXPECT_TRUE(fs::is_empty(work / "out"));

    const CliRun raw = Run({"extract", "-C", "out", "--raw", archive, "D/E2999"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(Snapshot(work / "out"),
              (Files{{"D", "<dir>"}, {"D/E2999.gz", GzipWrapped("E2999", Zlib("x"))}}));
}

// Entries named like the temporary files of an older version, beside a big one, on every
// core: each lands whole, under its own name, and leftovers of an interrupted run are no
// obstacle.
TEST_F(CliTest, EntriesNamedLikeTemporaryFilesLandWhole) {
    const std::string big(8 << 20, 'b');
    const std::string archive =
        Archive({Make("BIG", big), Make(".tarvix-0.part", "p0"), Make(".tarvix-1.part", "p1")});
    fs::create_directory(work / "out");
    for (int i = 0; i < 120; ++i)
        std::ofstream(work / "out" / (".tarvix-" + std::to_string(i) + ".part")) << "old";
    const CliRun run = Run({"extract", "-C", "out", archive});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::file_size(work / "out" / "BIG"), big.size());
    EXPECT_EQ(ReadFile(work / "out" / ".tarvix-0.part"), "p0");
    EXPECT_EQ(ReadFile(work / "out" / ".tarvix-1.part"), "p1");
    EXPECT_EQ(ReadFile(work / "out" / ".tarvix-2.part"), "old");
}

}  // namespace
}  // namespace tarvix::test
