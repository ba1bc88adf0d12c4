// tarvix-cli list: paths, patterns, --long and --json, by running the built program.

#include "cli_fixture.h"

namespace tarvix::test {
namespace {

using datwriter::Make;

// Folders that share a prefix (CRITTERS, CRITTERSX), a file at the top, a name with a
// Windows-1252 letter (0xE9, é).
std::vector<datwriter::Entry> BrowsingEntries() {
    return {
        Packed("ART\\CRITTERS\\HMJMPSAA.FRM", "critter"), Make("ART\\CRITTERSX\\A.FRM", "x"),
        Make("ART\\INTRFACE\\IFACE.FRM", "iface"),        Make("README.TXT", "readme"),
        Make("TEXT\\ENGLISH\\Caf\xE9.MSG", "msg"),
    };
}

struct PatternCase {
    const char* what;
    std::vector<std::string> patterns;
    int status;
    std::string out;
    std::string err;
};

class ListPatternTest : public CliTest, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(ListPatternTest, PrintsTheSelectedPathsInDirectoryOrder) {
    const PatternCase& c = GetParam();
    std::vector<std::string> args = {"list", Archive(BrowsingEntries())};
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

const std::string kAll =
    "ART\\CRITTERS\\HMJMPSAA.FRM\nART\\CRITTERSX\\A.FRM\nART\\INTRFACE\\IFACE.FRM\n"
    "README.TXT\nTEXT\\ENGLISH\\Caf\xC3\xA9.MSG\n";

INSTANTIATE_TEST_SUITE_P(
    Patterns, ListPatternTest,
    ::testing::Values(
        PatternCase{"none: every entry", {}, 0, kAll, ""},
        PatternCase{"a folder, not its longer sibling",
                    {"art/critters"},
                    0,
                    "ART\\CRITTERS\\HMJMPSAA.FRM\n",
                    ""},
        PatternCase{"the longer sibling with backslashes",
                    {"ART\\CRITTERSX"},
                    0,
                    "ART\\CRITTERSX\\A.FRM\n",
                    ""},
        PatternCase{
            "a folder takes everything below it",
            {"Art"},
            0,
            "ART\\CRITTERS\\HMJMPSAA.FRM\nART\\CRITTERSX\\A.FRM\nART\\INTRFACE\\IFACE.FRM\n",
            ""},
        PatternCase{"one entry", {"readme.txt"}, 0, "README.TXT\n", ""},
        PatternCase{"a Windows-1252 letter in either case",
                    {"text/english/CAF\xC3\x89.msg"},
                    0,
                    "TEXT\\ENGLISH\\Caf\xC3\xA9.MSG\n",
                    ""},
        PatternCase{
            "star",
            {"*.frm"},
            0,
            "ART\\CRITTERS\\HMJMPSAA.FRM\nART\\CRITTERSX\\A.FRM\nART\\INTRFACE\\IFACE.FRM\n",
            ""},
        PatternCase{"star and question mark",
                    {"art/crit?ers*"},
                    0,
                    "ART\\CRITTERS\\HMJMPSAA.FRM\nART\\CRITTERSX\\A.FRM\n",
                    ""},
        PatternCase{
            "patterns that overlap list each entry once",
            {"*.FRM", "art"},
            0,
            "ART\\CRITTERS\\HMJMPSAA.FRM\nART\\CRITTERSX\\A.FRM\nART\\INTRFACE\\IFACE.FRM\n",
            ""},
        PatternCase{"a folder's prefix is no folder",
                    {"art/crit"},
                    1,
                    "",
                    "tarvix-cli: no entry matches 'art/crit'\n"},
        PatternCase{"a wildcard pattern must match the whole path",
                    {"*.FR"},
                    1,
                    "",
                    "tarvix-cli: no entry matches '*.FR'\n"},
        PatternCase{"one typo among good patterns",
                    {"readme.txt", "raedme.txt"},
                    1,
                    "README.TXT\n",
                    "tarvix-cli: no entry matches 'raedme.txt'\n"},
        PatternCase{"an empty pattern", {""}, 1, "", "tarvix-cli: no entry matches ''\n"},
        PatternCase{"bytes that are not UTF-8",
                    {"README\xFF"},
                    1,
                    "",
                    "tarvix-cli: no entry matches 'README\\xFF'\n"},
        PatternCase{"a pattern after --", {"--", "readme.txt"}, 0, "README.TXT\n", ""}),
    NameOfCase<PatternCase>);

TEST_F(CliTest, LongListingAlignsPackingSizesAndOffset) {
    auto packed = Make("ART\\A.FRM", "abcd");
    packed.type = 1;
    packed.realSize = 100000;
    auto odd = Make("C\\D");
    odd.type = 7;
    const CliRun run = Run({"list", "-l", Archive({packed, Make("B", "xy"), odd})});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "zlib    100000  4  0  ART\\A.FRM\n"
              "stored       2  2  4  B\n"
              "type 7       0  0  6  C\\D\n");
    EXPECT_EQ(Run({"list", "--long", Archive({Make("B", "xy")}), "b"}).out, "stored  2  2  0  B\n");
}

// Quotes, the separator, C0 controls, DEL, an undefined byte (0x81) and Windows-1252 letters.
std::vector<datwriter::Entry> AwkwardNames() {
    return {
        Make("A\\\"Q\".TXT", "1"),
        Make(std::string("B\x01\x1F\x7F", 4) + "C"),
        Make("D\\\x81X"),
        Make("\xE9\x80"),
    };
}

TEST_F(CliTest, JsonEscapesEveryNameAndGivesBytesOfUndefinedOnes) {
    const CliRun run = Run({"list", "--json", Archive(AwkwardNames())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              R"([
  {"path": "A\\\"Q\".TXT", "type": 0, "packing": "stored", "real_size": 1, "packed_size": 1, "offset": 0},
  {"path": "B\u0001\u001F\u007FC", "type": 0, "packing": "stored", "real_size": 0, "packed_size": 0, "offset": 1},
  {"path": "D\\\u0081X", "path_bytes_hex": "445c8158", "type": 0, "packing": "stored", "real_size": 0, "packed_size": 0, "offset": 1},
  {"path": "é€", "type": 0, "packing": "stored", "real_size": 0, "packed_size": 0, "offset": 1}
]
)");
}

TEST_F(CliTest, TextListingShowsControlCharactersAsQuestionMarks) {
    const CliRun run = Run({"list", Archive(AwkwardNames())});
    EXPECT_EQ(run.out, "A\\\"Q\".TXT\nB???C\nD\\?X\n\xC3\xA9\xE2\x82\xAC\n");
}

TEST_F(CliTest, EmptyArchiveListsNothing) {
    const std::string empty = Archive({});
    EXPECT_EQ(Run({"list", empty}).out, "");
    EXPECT_EQ(Run({"list", "--json", empty}).out, "[]\n");
    const CliRun unmatched = Run({"list", "--json", empty, "x"});
    EXPECT_EQ(unmatched.status, 1);
    EXPECT_EQ(unmatched.out, "[]\n");
}

}  // namespace
}  // namespace tarvix::test
