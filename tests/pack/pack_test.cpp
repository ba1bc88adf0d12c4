// Writing archives: names, order, layout and the safety of the new file, read back with the
// test's own plain reader.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <random>

#include "archive/game_path.h"
#include "pack/archive_output.h"
#include "pack/archive_writer.h"
#include "pack/internal_path.h"
#include "pack/source_files.h"
#include "plain_dat.h"
#include "support/temp_dir.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;

using Tree = std::map<std::string, std::string>;  // UTF-8 path with '/' -> content

std::string Random(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::string Repetitive(std::size_t size) {
    std::string text;
    while (text.size() < size) text += "HEX " + std::to_string(text.size() % 977) + "\n";
    text.resize(size);
    return text;
}

void WriteTree(const fs::path& root, const Tree& tree) {
    for (const auto& [path, content] : tree) {
        const fs::path file = root / fs::path(path);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
}

// The tree at `root` packed into `archive`, as create does.
PackReport Pack(const fs::path& root, const fs::path& archive, PackOptions options = {}) {
    SourceScan scan = ScanSources(root, {"."});
    EXPECT_EQ(scan.refusals, std::vector<std::string>{});
    PackPlan plan;
    plan.target = archive;
    plan.added = std::move(scan.files);
    return WriteArchive(plan, options);
}

// The names of `tree` as the archive holds them: Windows-1252, '\' between folders.
Tree AsArchived(const Tree& tree) {
    Tree archived;
    for (const auto& [path, content] : tree) {
        std::string name = MakeInternalPath(fs::path(path)).name;
        archived[name] = content;
    }
    return archived;
}

struct OrderCase {
    const char* a;
    const char* b;
    int order;
};

class GameOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(GameOrderTest, FoldsAsciiLettersOnly) {
    const OrderCase& c = GetParam();
    const int order = CompareGamePaths(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order);
    const int reverse = CompareGamePaths(c.b, c.a);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GameOrderTest,
    ::testing::Values(OrderCase{"ART\\X.FRM", "art\\x.frm", 0}, OrderCase{"a", "B", -1},
                      // '_' lies between the upper and the lower case letters: folded, before.
                      OrderCase{"_", "A", -1}, OrderCase{"A_B", "AB", -1},
                      // '\' (0x5C) sorts before the lower case letters the upper ones become.
                      OrderCase{"ART\\B", "ARTS", -1}, OrderCase{"ab", "abc", -1},
                      // Windows-1252 letters are not folded: É (C9) and é (E9) stay apart.
                      OrderCase{"\xC9", "\xE9", -1}, OrderCase{"\xE9", "z", 1}));

struct NameCase {
    const char* what;
    const char* relative;  // UTF-8
    const char* name;      // Windows-1252, or nullptr when refused
};

class InternalPathTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(InternalPathTest, JoinsOrRefuses) {
    const NameCase& c = GetParam();
    const InternalPath path = MakeInternalPath(fs::path(c.relative));
    if (c.name) {
        EXPECT_EQ(path.name, c.name);
        EXPECT_EQ(path.problem, "");
    } else {
        EXPECT_EQ(path.name, "");
        EXPECT_NE(path.problem, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, InternalPathTest,
    ::testing::Values(NameCase{"folders", "art/critters/HFCMBT.FRM", "art\\critters\\HFCMBT.FRM"},
                      NameCase{"one file", "a", "a"},
                      NameCase{"Windows-1252 letters",
                               "caf\xC3\xA9/stra\xC3\x9F"
                               "e",
                               "caf\xE9\\stra\xDF"
                               "e"},
                      NameCase{"euro sign", "\xE2\x82\xAC", "\x80"},
                      NameCase{"dot dot", "a/../b", nullptr}, NameCase{"dot", "./a", nullptr},
                      NameCase{"backslash in a name", "a\\b", nullptr},
                      NameCase{"control character", "a\x01", nullptr},
                      NameCase{"delete character", "a\x7F", nullptr},
                      NameCase{"undefined in the code page", "a\xC2\x81", nullptr},
                      NameCase{"no Windows-1252 byte", "\xE6\x97\xA5", nullptr},
                      NameCase{"not UTF-8", "a\xFF", nullptr},
                      NameCase{"too long",
                               "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                               "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                               "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                               "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                               "aaaa",
                               nullptr}),
    [](const auto& info) { return std::to_string(info.index); });

struct TreeCase {
    const char* what;
    Tree tree;
    int level = 9;
    std::uint64_t streamAbove = std::uint64_t{4} << 20;
};

class RoundTripTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(RoundTripTest, PlainReaderFindsEveryFileInOrderWithExactTrailer) {
    const TreeCase& c = GetParam();
    TempDir dir;
    WriteTree(dir / "tree", c.tree);
    PackOptions options;
    options.level = c.level;
    options.streamAbove = c.streamAbove;
    const PackReport report = Pack(dir / "tree", dir / "out.dat", options);
    ASSERT_TRUE(report.written) << report.error;

    const std::string bytes = ReadFile(dir / "out.dat");
    const PlainDat dat = ReadPlainDat(bytes);
    EXPECT_EQ(dat.layoutError, "");
    EXPECT_TRUE(InGameOrder(dat.entries));
    EXPECT_EQ(PlainContents(bytes), AsArchived(c.tree));
    EXPECT_EQ(report.entries, c.tree.size());
    EXPECT_EQ(report.size, bytes.size());
    for (const PlainEntry& e : dat.entries) {
        const bool packed = e.type == 1;
        if (packed) {
            EXPECT_LT(e.packedSize, e.realSize) << e.name;
            if (c.level == 9) {
                EXPECT_EQ(bytes.substr(e.offset, 2), "\x78\xDA") << e.name;
            }
        }
        if (c.level == 0) {
            EXPECT_FALSE(packed) << e.name;
        }
    }
    // Only the archive is left: no temporary file beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

const Tree kMixed = {{"art/critters/HMJMPS.FRM", Repetitive(50000)},
                     {"Art/Critters/a.frm", Repetitive(3000)},
                     {"text/english/game/misc.msg", "{100}{}{Hello}\n"},
                     {"EMPTY.TXT", ""},
                     {"random.bin", Random(20000, 1)},
                     {"A_B", "x"},
                     {"AB", "y"}};

INSTANTIATE_TEST_SUITE_P(
    Trees, RoundTripTest,
    ::testing::Values(
        TreeCase{"mixed", kMixed}, TreeCase{"stored at level 0", kMixed, 0},
        TreeCase{"level 1", kMixed, 1},
        TreeCase{"deep folders", {{"a/b/c/d/e/f/g/h/i/j/k/l.txt", "deep"}, {"a/b/x", "x"}}},
        TreeCase{"only empty files", {{"a", ""}, {"b/c", ""}}},
        TreeCase{"Windows-1252 names",
                 {{"caf\xC3\xA9/stra\xC3\x9F"
                   "e.txt",
                   "\xE9"},
                  {"\xC3\x89t\xC3\xA9", "E"}}},
        TreeCase{"files of a few MiB, streamed",
                 {{"big/packs.txt", Repetitive(3 << 20)},
                  {"big/random.bin", Random(2 << 20, 2)},
                  {"small", "s"}},
                 9,
                 1 << 20},
        TreeCase{"a streamed file just above the bound", {{"f", Repetitive(4097)}}, 9, 4096}),
    [](const auto& info) {
        std::string name;
        for (const char ch : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

// The same tree with one and with several workers, through the queue and through streams,
// gives the same bytes; so does a copy of the tree made in another order.
TEST(PackDeterminismTest, BytesDependOnNothingButTheFilesAndTheLevel) {
    TempDir dir;
    Tree tree;
    for (int i = 0; i < 300; ++i) {
        tree["f" + std::to_string(i % 7) + "/N" + std::to_string(i * 7919 % 1000) + ".TXT"] =
            i % 3 == 0 ? Random(static_cast<std::size_t>(i) * 37, i)
                       : Repetitive(static_cast<std::size_t>(i) * 91);
    }
    WriteTree(dir / "one", tree);
    Tree reversed;  // written in the opposite order, and with other file times
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) WriteTree(dir / "two", {*it});
    std::vector<std::string> archives;
    for (const auto& [root, threads, streamAbove] :
         std::vector<std::tuple<const char*, unsigned, std::uint64_t>>{
             {"one", 1, 1 << 20}, {"one", 4, 1 << 20}, {"two", 2, 1 << 20}, {"two", 3, 1 << 20}}) {
        PackOptions options;
        options.threads = threads;
        options.streamAbove = streamAbove;
        const fs::path archive = dir / ("out" + std::to_string(archives.size()) + ".dat");
        ASSERT_TRUE(Pack(dir / root, archive, options).written);
        archives.push_back(ReadFile(archive));
    }
    for (const std::string& archive : archives) EXPECT_EQ(archive, archives[0]);
}

struct RefusalCase {
    const char* what;
    Tree tree;
    std::vector<std::string> operands;
    std::size_t refusals;
};

class SourceRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SourceRefusalTest, NamesEveryRefusal) {
    const RefusalCase& c = GetParam();
    TempDir dir;
    WriteTree(dir.path(), c.tree);
    const SourceScan scan = ScanSources(dir.path(), c.operands);
    EXPECT_EQ(scan.refusals.size(), c.refusals);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceRefusalTest,
    ::testing::Values(RefusalCase{"paths equal but for case", {{"a/X", ""}, {"A/x", ""}}, {"."}, 1},
                      RefusalCase{"one file named twice", {{"a/X", ""}}, {"a", "a/X"}, 0},
                      RefusalCase{"a missing PATH", {{"a", ""}}, {"a", "nothing"}, 1},
                      RefusalCase{"a PATH outside the folder", {{"a", ""}}, {"../a"}, 1},
                      RefusalCase{
                          "a backslash in a file name", {{"a\\b", ""}, {"c", ""}}, {"."}, 1}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(SourceFilesTest, SkipsLinksWithoutFollowingThem) {
    TempDir dir;
    WriteTree(dir / "tree", {{"real/a", "a"}});
    fs::create_directory_symlink(dir / "tree" / "real", dir / "tree" / "linked");
    fs::create_symlink(dir / "tree" / "real" / "a", dir / "tree" / "b");
    const SourceScan scan = ScanSources(dir / "tree", {"."});
    ASSERT_EQ(scan.files.size(), 1u);
    EXPECT_EQ(scan.files[0].name, "real\\a");
    EXPECT_EQ(scan.skipped.size(), 2u);
    EXPECT_EQ(scan.refusals.size(), 0u);
}

// Every way a write can end without an archive leaves the old one as it was and nothing else.
enum class Ending { SourceVanished, SourceGrew, Cancelled, TooLarge };

class FailedWriteTest : public ::testing::TestWithParam<Ending> {};

TEST_P(FailedWriteTest, LeavesTheOldArchiveAndNoTemporaryFile) {
    TempDir dir;
    WriteTree(dir / "tree", {{"a", Repetitive(1000)}, {"b", Repetitive(3 << 20)}});
    const std::string old = "the old archive";
    fs::create_directory(dir / "out");
    dir.write("out/x.dat", old);
    SourceScan scan = ScanSources(dir / "tree", {"."});
    PackPlan plan;
    plan.target = dir / "out" / "x.dat";
    plan.added = scan.files;
    BatchMonitor monitor;
    PackOptions options;
    options.monitor = &monitor;
    options.streamAbove = 1 << 20;
    switch (GetParam()) {
        case Ending::SourceVanished:
            fs::remove(dir / "tree" / "b");
            break;
        case Ending::SourceGrew:
            std::ofstream(dir / "tree" / "b", std::ios::app) << "more";
            break;
        case Ending::Cancelled:
            monitor.requestCancel();
            break;
        case Ending::TooLarge:
            plan.added.push_back({"c", dir / "tree" / "a", std::uint64_t{4} << 30, "a", nullptr});
            break;
    }
    const PackReport report = WriteArchive(plan, options);
    EXPECT_FALSE(report.written);
    EXPECT_EQ(report.cancelled, GetParam() == Ending::Cancelled);
    EXPECT_EQ(report.error.empty(), GetParam() == Ending::Cancelled);
    EXPECT_EQ(Snapshot(dir / "out"), (std::map<std::string, std::string>{{"x.dat", old}}));
}

INSTANTIATE_TEST_SUITE_P(Endings, FailedWriteTest,
                         ::testing::Values(Ending::SourceVanished, Ending::SourceGrew,
                                           Ending::Cancelled, Ending::TooLarge));

// What the writer reports when the commit meets another program's archive or a folder that
// cannot be flushed.
fs::path gTarget;
const char* gWrittenMeanwhile = nullptr;
void WriteTargetMeanwhile() {
    if (gWrittenMeanwhile != nullptr) std::ofstream(gTarget, std::ios::binary) << gWrittenMeanwhile;
}
int FailFolderFsync(int fd) {
    struct stat status {};
    ::fstat(fd, &status);
    if (S_ISDIR(status.st_mode)) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

struct CommitReportCase {
    const char* what;
    ReplaceRule::Kind rule;
    const char* writtenMeanwhile;  // by another program, before the rename; nullptr for none
    bool folderFlushFails;
    bool written;
    bool targetExists;
    const char* errorPart;  // "" when there is no error
};

class CommitReportTest : public ::testing::TestWithParam<CommitReportCase> {};

TEST_P(CommitReportTest, SaysWhatBecameOfTheArchive) {
    const CommitReportCase& c = GetParam();
    TempDir dir;
    WriteTree(dir / "tree", {{"a", Repetitive(1000)}});
    fs::create_directory(dir / "out");
    gTarget = dir / "out" / "x.dat";
    PackPlan plan;
    plan.target = gTarget;
    plan.replacing.kind = c.rule;
    if (c.rule != ReplaceRule::Kind::Nothing) {
        dir.write("out/x.dat", "old");
        struct stat status {};
        ASSERT_EQ(::stat(gTarget.c_str(), &status), 0);
        plan.replacing.read = FileIdentity::Of(status);
    }
    SourceScan scan = ScanSources(dir / "tree", {"."});
    plan.added = scan.files;
    PackOptions options;
    gWrittenMeanwhile = c.writtenMeanwhile;
    options.system.beforeRename = WriteTargetMeanwhile;
    if (c.folderFlushFails) options.system.fsync = FailFolderFsync;
    const PackReport report = WriteArchive(plan, options);
    EXPECT_EQ(report.written, c.written);
    EXPECT_EQ(report.targetExists, c.targetExists);
    EXPECT_NE(report.error.find(c.errorPart), std::string::npos) << report.error;
    EXPECT_EQ(report.error.empty(), std::string(c.errorPart).empty()) << report.error;
    const auto files = Snapshot(dir / "out");
    ASSERT_EQ(files.size(), 1u);
    if (c.writtenMeanwhile != nullptr) {
        EXPECT_EQ(files.at("x.dat"), c.writtenMeanwhile);
    }
    if (c.written) {
        EXPECT_EQ(ReadPlainDat(files.at("x.dat")).layoutError, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commits, CommitReportTest,
    ::testing::Values(CommitReportCase{"replaced", ReplaceRule::Kind::TheFileRead, nullptr, false,
                                       true, false, ""},
                      CommitReportCase{"folder not flushed", ReplaceRule::Kind::Anything, nullptr,
                                       true, true, false, "may not be on disk"},
                      CommitReportCase{"an archive appeared", ReplaceRule::Kind::Nothing, "theirs",
                                       false, false, true, "appeared"},
                      CommitReportCase{"the archive read was changed",
                                       ReplaceRule::Kind::TheFileRead, "theirs, longer", false,
                                       false, false, "changed by another program"}),
    [](const auto& info) { return std::to_string(info.index); });

// A kill at any moment: the folder holds the old archive or the new one, and nothing else.
TEST(ArchiveOutputTest, KillLeavesNoTemporaryFile) {
    TempDir dir;
    Tree tree;
    for (int i = 0; i < 40; ++i) tree["f" + std::to_string(i)] = Repetitive(256 << 10);
    WriteTree(dir / "tree", tree);
    fs::create_directory(dir / "out");
    dir.write("out/x.dat", "old");
    for (const int delayMs : {0, 30, 100}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PackOptions options;
            options.threads = 2;
            ::_exit(Pack(dir / "tree", dir / "out" / "x.dat", options).written ? 0 : 1);
        }
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto files = Snapshot(dir / "out");
        ASSERT_EQ(files.size(), 1u) << "after " << delayMs << " ms";
        EXPECT_TRUE(files.count("x.dat"));
    }
}

TEST(ArchiveOutputTest, ReplacesTheTargetOnlyOnCommit) {
    TempDir dir;
    dir.write("x.dat", "old");
    ArchiveOutput output;
    ASSERT_TRUE(output.open(dir / "x.dat", 0600));
    const std::string text = "new";
    ASSERT_TRUE(output.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
    EXPECT_EQ(Snapshot(dir.path()), (std::map<std::string, std::string>{{"x.dat", "old"}}));
    ASSERT_EQ(output.commit({ReplaceRule::Kind::Anything, {}}), ArchiveOutput::Commit::Done)
        << output.error();
    EXPECT_EQ(Snapshot(dir.path()), (std::map<std::string, std::string>{{"x.dat", "new"}}));
    struct stat status {};
    ASSERT_EQ(::stat((dir / "x.dat").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077,
              0u);  // the mode asked for, as an archive replaced keeps its own
}

}  // namespace
}  // namespace tarvix::test
