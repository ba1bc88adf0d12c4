// tarvix-cli create, add and delete, by running the built program: what create writes,
// extract gives back, and what a refusal or a failure leaves behind.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "cli_fixture.h"
#include "plain_dat.h"
#include "support/held_lease.h"
#include "support/without_waiting.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

void WriteTree(const fs::path& root, const Files& files) {
    fs::create_directories(root);
    for (const auto& [path, content] : files) {
        const fs::path file = root / fs::path(path);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
}

std::string Repetitive(std::size_t size) {
    std::string text;
    while (text.size() < size) text += "LINE " + std::to_string(text.size() % 613) + "\n";
    text.resize(size);
    return text;
}

struct RoundTripCase {
    std::string what;
    Files tree;
};

class PackRoundTripTest : public CliTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(PackRoundTripTest, CreateThenExtractGivesTheSameFiles) {
    const RoundTripCase& c = GetParam();
    WriteTree(work / "tree", c.tree);
    const CliRun created = Run({"create", "-q", "-C", "tree", "out.dat", "."});
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.err, "");
    const PlainDat dat = ReadPlainDat(ReadFile(work / "out.dat"));
    EXPECT_EQ(dat.layoutError, "");
    EXPECT_TRUE(InGameOrder(dat.entries));

    fs::create_directory(work / "back");
    const CliRun extracted = Run({"extract", "-q", "-C", "back", "out.dat"});
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(Snapshot(work / "back"), Snapshot(work / "tree"));
}

INSTANTIATE_TEST_SUITE_P(
    Trees, PackRoundTripTest,
    ::testing::Values(
        RoundTripCase{"deep folders",
                      {{"a/b/c/d/e/f/g/h/DEEP.TXT", "deep"}, {"a/b/SIDE.TXT", Repetitive(900)}}},
        RoundTripCase{"empty files", {{"EMPTY", ""}, {"art/EMPTY.FRM", ""}, {"x", "x"}}},
        RoundTripCase{"Windows-1252 names",
                      {{"caf\xC3\xA9/stra\xC3\x9F"
                        "e.msg",
                        "\xC3\xA9"},
                       {"\xC3\x89T\xC3\x89", "e"}}},
        RoundTripCase{"files of a few MiB",
                      {{"big/TEXT.MSG", Repetitive(5 << 20)}, {"big/noise", LongText(3 << 20)}}}),
    NameOfCase<RoundTripCase>);

TEST_F(CliTest, ArchiveExtractedAndCreatedAgainListsTheSame) {
    const std::string archive = Archive({Packed("ART\\CRITTERS\\HMJMPS.FRM", LongText(20000)),
                                         datwriter::Make("ART\\INTRFACE\\IFACE.FRM", "raw"),
                                         datwriter::Make("TEXT\\ENGLISH\\EMPTY.MSG", "")});
    fs::create_directory(work / "x");
    ASSERT_EQ(Run({"extract", "-q", "-C", "x", archive}).status, 0);
    ASSERT_EQ(Run({"create", "-q", "-C", "x", "again.dat", "."}).status, 0);
    const auto listing = [&](const std::string& dat) {
        const CliRun run = Run({"list", "-l", dat});
        std::string paths;  // sizes and paths, not offsets or packing, which may differ
        std::istringstream lines(run.out);
        for (std::string kind, real, packed, offset, path;
             lines >> kind >> real >> packed >> offset >> path;) {
            paths += real + " " + path + "\n";
        }
        return paths;
    };
    EXPECT_EQ(listing("again.dat"), listing(archive));
    EXPECT_NE(listing(archive), "");
    fs::create_directory(work / "y");
    ASSERT_EQ(Run({"extract", "-q", "-C", "y", "again.dat"}).status, 0);
    EXPECT_EQ(Snapshot(work / "y"), Snapshot(work / "x"));
}

TEST_F(CliTest, AddThenDeleteOfOneEntryGivesTheOriginalArchiveBack) {
    WriteTree(work / "mod", {{"art/A.FRM", Repetitive(3000)}, {"text/B.MSG", "b"}, {"C", ""}});
    ASSERT_EQ(Run({"create", "-q", "-C", "mod", "mod.dat", "."}).status, 0);
    const std::string original = ReadFile(work / "mod.dat");
    WriteTree(work / "more", {{"art/NEW.FRM", Repetitive(5000)}});

    const CliRun added = Run({"add", "-q", "-C", "more", "mod.dat", "art/NEW.FRM"});
    ASSERT_EQ(added.status, 0) << added.err;
    const PlainDat withNew = ReadPlainDat(ReadFile(work / "mod.dat"));
    EXPECT_EQ(withNew.layoutError, "");
    EXPECT_TRUE(InGameOrder(withNew.entries));
    EXPECT_EQ(withNew.entries.size(), 4u);

    const CliRun deleted = Run({"delete", "-q", "mod.dat", "art/new.frm"});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(ReadFile(work / "mod.dat"), original);
}

TEST_F(CliTest, AddReplacesTheEntryTheGameTakesForTheSamePath) {
    WriteTree(work / "old", {{"art/X.FRM", "old"}, {"art/Y.FRM", "kept"}});
    ASSERT_EQ(Run({"create", "-q", "-C", "old", "mod.dat", "."}).status, 0);
    WriteTree(work / "new", {{"ART/x.frm", "new"}});
    ASSERT_EQ(Run({"add", "-q", "-C", "new", "mod.dat", "."}).status, 0);
    EXPECT_EQ(PlainContents(ReadFile(work / "mod.dat")),
              (Files{{"ART\\x.frm", "new"}, {"art\\Y.FRM", "kept"}}));
}

struct RefusalCase {
    std::string what;
    Files tree;
    std::vector<std::string> args;
    int status;
    std::string errorPart;
};

class PackRefusalTest : public CliTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PackRefusalTest, LeavesTheArchiveAsItWas) {
    const RefusalCase& c = GetParam();
    WriteTree(work / "tree", c.tree);
    work.write("mod.dat", datwriter::BuildDat({datwriter::Make("KEPT", "kept")}));
    const std::string before = ReadFile(work / "mod.dat");
    std::vector<std::string> args = c.args;
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(work / "mod.dat"), before);
    EXPECT_FALSE(fs::exists(work / "new.dat"));
    // No temporary file either.
    EXPECT_EQ(std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PackRefusalTest,
    ::testing::Values(
        RefusalCase{"create over an existing archive",
                    {{"a", "a"}},
                    {"create", "-C", "tree", "mod.dat", "a"},
                    2,
                    "exists"},
        RefusalCase{"names equal but for case",
                    {{"art/A", "1"}, {"ART/a", "2"}},
                    {"create", "-C", "tree", "new.dat", "."},
                    2,
                    "'tree/ART/a' and 'tree/art/A'"},
        RefusalCase{"names equal but for case, added",
                    {{"art/A", "1"}, {"ART/a", "2"}},
                    {"add", "-C", "tree", "mod.dat", "."},
                    2,
                    "the same path in the archive"},
        RefusalCase{"a backslash in a file name",
                    {{"a\\b", "1"}},
                    {"create", "-C", "tree", "new.dat", "."},
                    2,
                    "backslash"},
        RefusalCase{"a name outside Windows-1252",
                    {{"\xE6\x97\xA5", "1"}},
                    {"create", "-C", "tree", "new.dat", "."},
                    2,
                    "Windows-1252"},
        RefusalCase{"a missing PATH",
                    {{"a", "1"}},
                    {"add", "-C", "tree", "mod.dat", "b"},
                    2,
                    "No such file"},
        RefusalCase{"a pattern that selects nothing",
                    {},
                    {"delete", "mod.dat", "KEPT", "NOTHING"},
                    1,
                    "NOTHING"},
        RefusalCase{"no PATH", {}, {"create", "new.dat"}, 2, "missing PATH"},
        RefusalCase{"no PATTERN", {}, {"delete", "mod.dat"}, 2, "missing PATTERN"},
        RefusalCase{
            "a level for delete", {}, {"delete", "-5", "mod.dat", "KEPT"}, 2, "has no option '-5'"},
        RefusalCase{"--force for add",
                    {{"a", "a"}},
                    {"add", "--force", "mod.dat", "tree"},
                    2,
                    "has no option '--force'"}),
    NameOfCase<RefusalCase>);

// Renaming the new archive over a link would replace the link and leave the archive it names
// as it was, while reporting success.
TEST_F(CliTest, AnArchiveGivenAsALinkIsRefusedAndLeftAlone) {
    WriteTree(work / "tree", {{"a", "a"}});
    work.write("mod.dat", datwriter::BuildDat({datwriter::Make("KEPT", "kept")}));
    fs::create_symlink("mod.dat", work / "link.dat");
    const std::string before = ReadFile(work / "mod.dat");
    const std::vector<std::vector<std::string>> commands = {
        {"add", "-q", "-C", "tree", "link.dat", "a"},
        {"delete", "-q", "link.dat", "KEPT"},
        {"create", "-q", "--force", "-C", "tree", "link.dat", "a"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        const CliRun run = Run(command);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("is a symbolic link"), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_symlink(work / "link.dat"));
        EXPECT_EQ(ReadFile(work / "mod.dat"), before);
    }
}

TEST_F(CliTest, ForceReplacesAnExistingArchive) {
    WriteTree(work / "tree", {{"a", "a"}});
    work.write("mod.dat", "anything");
    ASSERT_EQ(Run({"create", "-q", "--force", "-C", "tree", "mod.dat", "a"}).status, 0);
    EXPECT_EQ(PlainContents(ReadFile(work / "mod.dat")), (Files{{"a", "a"}}));
}

TEST_F(CliTest, LinksAreSkippedNamedAndMakeTheStatusOne) {
    WriteTree(work / "tree", {{"real", "r"}});
    fs::create_symlink("real", work / "tree" / "link");
    const CliRun run = Run({"create", "-q", "-C", "tree", "mod.dat", "."});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tarvix-cli: 'tree/link': symbolic link not followed\n");
    EXPECT_EQ(PlainContents(ReadFile(work / "mod.dat")), (Files{{"real", "r"}}));
}

TEST_F(CliTest, LevelZeroStoresAndLevelNinePacksAsTheGame) {
    WriteTree(work / "tree", {{"t", Repetitive(10000)}});
    ASSERT_EQ(Run({"create", "-q0", "-C", "tree", "zero.dat", "t"}).status, 0);
    ASSERT_EQ(Run({"create", "-q", "-C", "tree", "nine.dat", "t"}).status, 0);
    const std::string zero = ReadFile(work / "zero.dat");
    const std::string nine = ReadFile(work / "nine.dat");
    EXPECT_EQ(ReadPlainDat(zero).entries.at(0).type, 0);
    EXPECT_EQ(ReadPlainDat(nine).entries.at(0).type, 1);
    EXPECT_EQ(nine.substr(0, 2), "\x78\xDA");
    EXPECT_EQ(Run({"check", "-q", "nine.dat"}).status, 0);
}

// Ctrl+C part-way: exit 130 and the old archive as it was, or, when packing was done first,
// exit 0 and the new one; never anything else in the folder.
TEST_F(CliTest, InterruptLeavesTheOldArchive) {
    Files tree;
    for (int i = 0; i < 60; ++i) tree["f" + std::to_string(i)] = LongText(300000);
    WriteTree(work / "tree", tree);
    work.write("mod.dat", datwriter::BuildDat({datwriter::Make("OLD", "old")}));
    const std::string before = ReadFile(work / "mod.dat");
    const std::string archive = (work / "mod.dat").string();
    const std::string folder = (work / "tree").string();
    std::vector<const char*> argv = {TARVIX_CLI_PATH, "create",        "-q", "--force", "-C",
                                     folder.c_str(),  archive.c_str(), ".",  nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, TARVIX_CLI_PATH, &quiet, nullptr,
                                    const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    ::usleep(150000);
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // A signal that comes before the program watches for it (a slow start, under a sanitizer)
    // ends it as the shell would; the archive must still be whole.
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_TRUE(killed || code == 130 || code == 0) << status;
    if (code != 0) {
        EXPECT_EQ(ReadFile(work / "mod.dat"), before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()), 2);
}

struct NoteCase {
    std::string what;
    std::vector<std::string> names;
    std::string notes;
};

class CheckNoteTest : public CliTest, public ::testing::WithParamInterface<NoteCase> {};

TEST_P(CheckNoteTest, NotesWhatTheGameCannotFindWithoutFailing) {
    const NoteCase& c = GetParam();
    std::vector<datwriter::Entry> entries;
    for (const std::string& name : c.names) entries.push_back(datwriter::Make(name, "x"));
    const CliRun run = Run({"check", "-q", Archive(entries)});
    EXPECT_EQ(run.status, 0);
    const std::size_t notes = std::count(c.notes.begin(), c.notes.end(), '\n');
    std::string summary = std::to_string(c.names.size()) + " entries checked, 0 problems";
    if (notes != 0) summary += ", " + std::to_string(notes) + (notes == 1 ? " note" : " notes");
    EXPECT_EQ(run.out, c.notes + summary + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Notes, CheckNoteTest,
    ::testing::Values(
        NoteCase{"the game's order", {"A_B", "ab", "ART\\X", "ARTS"}, ""},
        NoteCase{"out of order",
                 {"B", "a"},
                 "a: note: out of the game's order (after 'B'), the game may not find it\n"},
        // Byte order puts 'A' before '_'; the game's folded order does not.
        NoteCase{"byte order",
                 {"AB", "A_B"},
                 "A_B: note: out of the game's order (after 'AB'), the game may not find it\n"},
        NoteCase{"equal but for case",
                 {"x\\A", "X\\a"},
                 "X\\a: note: the same path as 'x\\A' to the game, which finds only one\n"}),
    NameOfCase<NoteCase>);

// Sources that are not packed, the rest being packed: a path through a link, a FIFO.
struct SkippedSourceCase {
    std::string what;
    std::vector<std::string> args;  // after "create -q"
    int status;
    std::string errorPart;
    std::vector<std::string> entries;
};

class SkippedSourceTest : public CliTest,
                          public ::testing::WithParamInterface<SkippedSourceCase> {};

TEST_P(SkippedSourceTest, PacksTheRestAndSaysWhy) {
    const SkippedSourceCase& c = GetParam();
    WriteTree(work / "tree", {{"real/a", "a"}});
    WriteTree(work / "elsewhere", {{"secret", "s"}});
    fs::create_directory_symlink("real", work / "tree/lnk");
    fs::create_directory_symlink(work / "elsewhere", work / "tree/out");
    fs::create_directory_symlink(work / "tree", work / "treelink");
    ASSERT_EQ(::mkfifo((work / "tree/fifo").c_str(), 0644), 0);
    std::vector<std::string> args = {"create", "-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = WithoutWaitingOn(work / "tree/fifo", [&] { return Run(args); });
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    std::vector<std::string> entries;
    for (const PlainEntry& e : ReadPlainDat(ReadFile(work / "new.dat")).entries) {
        entries.push_back(e.name);
    }
    EXPECT_EQ(entries, c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Skips, SkippedSourceTest,
    ::testing::Values(SkippedSourceCase{"a_PATH_through_a_folder_link",
                                        {"-C", "tree", "new.dat", "lnk/a", "real"},
                                        1,
                                        "'tree/lnk/a': a symbolic link on the way; not followed",
                                        {"real\\a"}},
                      SkippedSourceCase{"a_PATH_out_of_the_tree_through_a_link",
                                        {"-C", "tree", "new.dat", "out/secret", "real/a"},
                                        1,
                                        "'tree/out/secret': a symbolic link on the way",
                                        {"real\\a"}},
                      SkippedSourceCase{"a_FIFO",
                                        {"-C", "tree", "new.dat", "fifo", "real"},
                                        1,
                                        "'tree/fifo': not a regular file",
                                        {"real\\a"}},
                      SkippedSourceCase{"the_packed_folder_itself_a_link",
                                        {"-C", "treelink", "new.dat", "real"},
                                        0,
                                        "",
                                        {"real\\a"}}),
    [](const auto& info) { return info.param.what; });

// Files another program holds a lease on, which refuse a non-blocking open until it is given
// up, and a FIFO named as the archive, which must be refused at once as the loader refuses it.
struct OddArchiveCase {
    std::string what;
    std::vector<std::string> args;
    std::string leased;  // below the work folder; empty for none
    int status;
    std::string errorPart;
};

class OddArchiveTest : public CliTest, public ::testing::WithParamInterface<OddArchiveCase> {};

TEST_P(OddArchiveTest, OpensWithoutWaitingForAWriter) {
    const OddArchiveCase& c = GetParam();
    Archive({datwriter::Make("A.TXT", "a"), datwriter::Make("B.TXT", "b")});
    WriteTree(work / "tree", {{"new.txt", "new"}});
    ASSERT_EQ(::mkfifo((work / "pipe.dat").c_str(), 0644), 0);
    std::unique_ptr<HeldLease> lease;
    if (!c.leased.empty()) {
        lease = std::make_unique<HeldLease>(work / c.leased);
        if (!lease->refusal().empty()) GTEST_SKIP() << lease->refusal();
    }
    const CliRun run = WithoutWaitingOn(work / "pipe.dat", [&] { return Run(c.args); });
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    if (lease) {
        EXPECT_TRUE(lease->broken());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Opens, OddArchiveTest,
    ::testing::Values(
        OddArchiveCase{"add to a leased archive",
                       {"add", "-q", "-C", "tree", "in.dat", "new.txt"},
                       "in.dat",
                       0,
                       ""},
        OddArchiveCase{
            "delete from a leased archive", {"delete", "-q", "in.dat", "A.TXT"}, "in.dat", 0, ""},
        OddArchiveCase{"create from a leased file",
                       {"create", "-q", "-C", "tree", "out.dat", "new.txt"},
                       "tree/new.txt",
                       0,
                       ""},
        OddArchiveCase{"add to a FIFO",
                       {"add", "-q", "-C", "tree", "pipe.dat", "new.txt"},
                       "",
                       2,
                       "shorter than its 8-byte trailer)\nCannot open DAT file :("},
        OddArchiveCase{"delete from a FIFO",
                       {"delete", "-q", "pipe.dat", "A.TXT"},
                       "",
                       2,
                       "shorter than its 8-byte trailer)\nCannot open DAT file :("}),
    NameOfCase<OddArchiveCase>);

}  // namespace
}  // namespace tarvix::test
