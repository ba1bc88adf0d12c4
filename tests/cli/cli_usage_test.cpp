// tarvix-cli: the command line itself, refused archives and info, by running the built program.

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/dat_archive.h"
#include "cli_fixture.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using datwriter::Make;

struct UsageCase {
    const char* what;
    std::vector<std::string> args;  // "ARCHIVE" stands for a valid archive's path
    std::string err;
};

class UsageErrorTest : public CliTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWithTwoAndSaysWhatIsWrong) {
    const UsageCase& c = GetParam();
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
        if (arg == "ARCHIVE") arg = Archive({Make("A", "a")});
    }
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
}

std::string Try(const std::string& command) {
    return "Try 'tarvix-cli" + command + " --help' for more information.\n";
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageErrorTest,
    ::testing::Values(
        UsageCase{"nothing", {}, "tarvix-cli: missing COMMAND\n" + Try("")},
        UsageCase{"an unknown command",
                  {"unpack", "ARCHIVE"},
                  "tarvix-cli: unknown command 'unpack'\n" + Try("")},
        UsageCase{"an unknown option first", {"-x"}, "tarvix-cli: unknown option '-x'\n" + Try("")},
        UsageCase{"odd bytes",
                  {"l\xFF\x1B[2J"},
                  "tarvix-cli: unknown command 'l\\xFF\\x1B[2J'\n" + Try("")},
        UsageCase{"no archive", {"list"}, "tarvix-cli: missing ARCHIVE\n" + Try(" list")},
        UsageCase{"no archive after options",
                  {"extract", "-q", "--raw"},
                  "tarvix-cli: missing ARCHIVE\n" + Try(" extract")},
        UsageCase{"another command's option",
                  {"list", "--raw", "ARCHIVE"},
                  "tarvix-cli: 'list' has no option '--raw'\n" + Try(" list")},
        UsageCase{"another command's short option",
                  {"info", "-l", "ARCHIVE"},
                  "tarvix-cli: 'info' has no option '-l'\n" + Try(" info")},
        UsageCase{"a bundled option of another command",
                  {"check", "-ql", "ARCHIVE"},
                  "tarvix-cli: 'check' has no option '-l'\n" + Try(" check")},
        UsageCase{"an unknown long option",
                  {"list", "ARCHIVE", "--lnog"},
                  "tarvix-cli: unknown option '--lnog'\n" + Try(" list")},
        UsageCase{"-C without its folder",
                  {"extract", "ARCHIVE", "-C"},
                  "tarvix-cli: option '-C' needs a folder\n" + Try(" extract")},
        UsageCase{"-C joined by '='",
                  {"extract", "-C=out", "ARCHIVE"},
                  "tarvix-cli: option '-C' takes no '=': write '-C DIR' or "
                  "'--directory=DIR'\n" +
                      Try(" extract")},
        UsageCase{"--directory without its folder",
                  {"extract", "ARCHIVE", "--directory"},
                  "tarvix-cli: option '--directory' needs a folder\n" + Try(" extract")},
        UsageCase{"--directory with an empty folder",
                  {"extract", "--directory=", "ARCHIVE"},
                  "tarvix-cli: option '--directory' needs a folder\n" + Try(" extract")},
        UsageCase{"--directory for list",
                  {"list", "--directory=out", "ARCHIVE"},
                  "tarvix-cli: 'list' has no option '--directory'\n" + Try(" list")},
        UsageCase{"-v for check",
                  {"check", "-v", "ARCHIVE"},
                  "tarvix-cli: 'check' has no option '-v'\n" + Try(" check")},
        UsageCase{"a pattern for check",
                  {"check", "ARCHIVE", "ART"},
                  "tarvix-cli: unexpected argument 'ART'\n" + Try(" check")},
        UsageCase{"a pattern for info",
                  {"info", "ARCHIVE", "ART"},
                  "tarvix-cli: unexpected argument 'ART'\n" + Try(" info")}),
    NameOfCase<UsageCase>);

struct HelpCase {
    const char* what;
    std::vector<std::string> args;
    std::string firstLine;
};

class HelpTest : public CliTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(HelpTest, PrintsOnStdoutAndSucceeds) {
    const CliRun run = Run(GetParam().args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), GetParam().firstLine);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HelpTest,
    ::testing::Values(
        HelpCase{"program help",
                 {"--help"},
                 "Usage: tarvix-cli COMMAND [OPTION]... ARCHIVE [PATTERN]...\n"},
        HelpCase{"program help, short",
                 {"-h"},
                 "Usage: tarvix-cli COMMAND [OPTION]... ARCHIVE [PATTERN]...\n"},
        HelpCase{"version", {"--version"}, "tarvix-cli " TARVIX_VERSION "\n"},
        HelpCase{"list help",
                 {"list", "--help"},
                 "Usage: tarvix-cli list [OPTION]... ARCHIVE [PATTERN]...\n"},
        HelpCase{"extract help ends the parse",
                 {"extract", "x.dat", "--help", "--bogus"},
                 "Usage: tarvix-cli extract [OPTION]... ARCHIVE [PATTERN]...\n"},
        HelpCase{
            "check help, short", {"check", "-h"}, "Usage: tarvix-cli check [OPTION]... ARCHIVE\n"},
        HelpCase{"info help", {"info", "--help"}, "Usage: tarvix-cli info [OPTION]... ARCHIVE\n"}),
    NameOfCase<HelpCase>);

struct RefusalCase {
    const char* what;
    std::string bytes;
    std::string message;
};

class RefusedArchiveTest : public CliTest, public ::testing::WithParamInterface<RefusalCase> {};

// Every command refuses the archive with the window's two messages.
TEST_P(RefusedArchiveTest, GivesTheWindowsMessages) {
    const std::string path = work.write("bad.dat", GetParam().bytes).string();
    fs::create_directory(work / "out");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", path},
                                                 {"extract", "-C", "out", path},
                                                 {"check", path},
                                                 {"info", "--json", path}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_EQ(run.err, GetParam().message + "\nCannot open DAT file :(\n") << args[0];
    }
    EXPECT_TRUE(fs::is_empty(work / "out"));
}

datwriter::Layout WithDataSize(std::uint32_t size) {
    datwriter::Layout layout;
    layout.dataSize = size;
    return layout;
}

datwriter::Layout WithTreeSize(std::uint32_t size) {
    datwriter::Layout layout;
    layout.treeSize = size;
    return layout;
}

datwriter::Layout WithListBytes(std::string bytes) {
    datwriter::Layout layout;
    layout.extraListBytes = std::move(bytes);
    return layout;
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RefusedArchiveTest,
    ::testing::Values(
        RefusalCase{"too short", "abc", messages::kTooShort},
        RefusalCase{"DataSize", datwriter::BuildDat({Make("A", "a")}, WithDataSize(7)),
                    messages::kSizeMismatch},
        RefusalCase{"TreeSize", datwriter::BuildDat({Make("A", "a")}, WithTreeSize(3)),
                    messages::kTreeTooSmall},
        RefusalCase{"entry overrun", datwriter::BuildDat({Make("A", "a")}, WithListBytes("\x05")),
                    messages::kEntryOverrun}),
    NameOfCase<RefusalCase>);

struct UnopenableCase {
    const char* what;
    std::string path;
    std::string reason;
};

class UnopenableArchiveTest : public CliTest,
                              public ::testing::WithParamInterface<UnopenableCase> {};

TEST_P(UnopenableArchiveTest, GivesTheSystemsReasonAndTheWindowsMessage) {
    const CliRun run = Run({"info", GetParam().path});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tarvix-cli: '" + GetParam().path + "': " + GetParam().reason +
                           "\nCannot open DAT file :(\n");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnopenableArchiveTest,
    ::testing::Values(UnopenableCase{"missing", "missing.dat", "No such file or directory"},
                      UnopenableCase{"folder", ".", "Is a directory"},
                      UnopenableCase{"very long", std::string(5000, 'a') + ".dat",
                                     "File name too long"}),
    NameOfCase<UnopenableCase>);

// Folders: ART, CRITTERS, INTRFACE, X, Y, Z, W; README.TXT, a file at the top, is an item of
// its own in the tree but no folder.
std::vector<datwriter::Entry> InfoEntries() {
    auto packed = Make("ART\\CRITTERS\\A.FRM", "aaaa");
    packed.type = 1;
    packed.realSize = 40;
    auto odd = Make("X\\Y\\Z\\W\\F", "d");
    odd.type = 5;
    odd.realSize = 7;
    return {packed, Make("ART\\INTRFACE\\B.FRM", "bb"), Make("README.TXT", "ccc"), odd};
}

// TreeSize: FilesTotal (4) + 4 entries of 17 bytes + names of 18, 18, 10 and 9 bytes.
// DataSize: 10 bytes of data + TreeSize + the 8-byte trailer.
TEST_F(CliTest, InfoSumsUpTheArchive) {
    const std::string archive = Archive(InfoEntries());
    const CliRun text = Run({"info", archive});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out,
              "format:                  Fallout 2 (DAT2)\n"
              "entries:                 4\n"
              "folders:                 7\n"
              "deepest level:           4\n"
              "stored bytes:            10\n"
              "real bytes:              52\n"
              "packed entries (Type 1): 1\n"
              "stored entries (Type 0): 2\n"
              "other-type entries:      1\n"
              "TreeSize:                127\n"
              "DataSize:                145\n");
    const CliRun json = Run({"info", "--json", archive});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, R"x({"format": "Fallout 2 (DAT2)", "entries": 4, "folders": 7, )x"
                        R"("deepest_level": 4, "stored_bytes": 10, )"
                        R"("real_bytes": 52, "packed_entries": 1, "stored_entries": 2, )"
                        R"("other_type_entries": 1, "tree_size": 127, "data_size": 145})"
                        "\n");
}

struct FolderCountCase {
    const char* what;
    std::vector<std::string> names;
    std::string folders;  // the "folders" and "deepest_level" members
};

class InfoFolderTest : public CliTest, public ::testing::WithParamInterface<FolderCountCase> {};

TEST_P(InfoFolderTest, CountsFoldersOnly) {
    std::vector<datwriter::Entry> entries;
    for (const std::string& name : GetParam().names) entries.push_back(Make(name, "x"));
    const std::string out = Run({"info", "--json", Archive(entries)}).out;
    EXPECT_NE(out.find(GetParam().folders), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Archives, InfoFolderTest,
                         ::testing::Values(FolderCountCase{"top-level files only",
                                                           {"README.TXT", "COLOR.PAL",
                                                            "README.TXT"},
                                                           R"("folders": 0, "deepest_level": 0,)"},
                                           FolderCountCase{"a file and a folder of one name",
                                                           {"ART", "ART\\A.FRM"},
                                                           R"("folders": 1, "deepest_level": 1,)"},
                                           FolderCountCase{"a folder with nothing but a subfolder",
                                                           {"ART\\CRITTERS\\A.FRM", "B.TXT"},
                                                           R"("folders": 2, "deepest_level": 2,)"},
                                           FolderCountCase{"a name ending in a backslash",
                                                           {"DATA\\", "C.TXT"},
                                                           R"("folders": 1, "deepest_level": 1,)"}),
                         NameOfCase<FolderCountCase>);

TEST_F(CliTest, InfoOfAnEmptyArchive) {
    EXPECT_EQ(Run({"info", "--json", Archive({})}).out,
              R"x({"format": "Fallout 2 (DAT2)", "entries": 0, "folders": 0, "deepest_level": 0, )x"
              R"("stored_bytes": 0, )"
              R"("real_bytes": 0, "packed_entries": 0, "stored_entries": 0, )"
              R"("other_type_entries": 0, "tree_size": 4, "data_size": 12})"
              "\n");
}

}  // namespace
}  // namespace tarvix::test
