// tarvix-cli extract: what lands on disk and what is reported, by running the built program.

#include <unistd.h>

#include <filesystem>
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
    EXPECT_EQ(run.err, "");  // nothing to report, and no progress line off a terminal
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
                     {"README.TXT", "readme"}}},
        ExtractCase{"flat: no folders, the later of two names wins",
                    {"--flat"},
                    {},
                    {{"IFACE.FRM", "other"}, {"HELP.TXT", "help"}, {"README.TXT", "readme"}}},
        ExtractCase{
            "raw: stored bytes, zlib streams wrapped as gzip",
            {"--raw", "--flat"},
            {"art/intrface"},
            {{"IFACE.FRM.gz", GzipWrapped("IFACE.FRM", Zlib(kIface))}, {"HELP.TXT", "help"}}},
        ExtractCase{"a folder pattern keeps the full path",
                    {},
                    {"sound"},
                    {{"SOUND", "<dir>"}, {"SOUND/SFX", "<dir>"}, {"SOUND/SFX/IFACE.FRM", "other"}}},
        ExtractCase{"quiet changes nothing but the progress line",
                    {"-q"},
                    {"*.TXT"},
                    {{"ART", "<dir>"},
                     {"ART/INTRFACE", "<dir>"},
                     {"ART/INTRFACE/HELP.TXT", "help"},
                     {"README.TXT", "readme"}}}),
    NameOfCase<ExtractCase>);

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

}  // namespace
}  // namespace tarvix::test
