// The new archive's file: what it may replace at the moment of the rename, how it gets a name
// with and without /proc, what a failed flush or a second interrupt leaves, and a copy that
// stops between chunks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "pack/archive_output.h"
#include "support/temp_dir.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using Folder = std::map<std::string, std::string>;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// How the new file gets its name, forced through the seams: its /proc link, its descriptor
// (this process's privilege), or a name from the start.
enum class Naming { ProcLink, Descriptor, NamedFromStart };

int gLinkFlags = -1;  // of the last linkat, -1 when there was none
int RecordingLinkat(int from, const char* old, int to, const char* name, int flags) {
    gLinkFlags = flags;
    return ::linkat(from, old, to, name, flags);
}
bool Yes() {
    return true;
}
bool No() {
    return false;
}

OutputSystemCalls SystemFor(Naming naming) {
    OutputSystemCalls system;
    system.linkat = RecordingLinkat;
    if (naming != Naming::ProcLink) system.descriptorFolder = "/nonexistent-proc/self/fd";
    system.mayLinkByDescriptor = naming == Naming::Descriptor ? Yes : No;
    return system;
}

// What the naming shows in the links made: none for a file named from the start.
int ExpectedLinkFlags(Naming naming) {
    switch (naming) {
        case Naming::ProcLink:
            return AT_SYMLINK_FOLLOW;
        case Naming::Descriptor:
            return AT_EMPTY_PATH;
        case Naming::NamedFromStart:
            return -1;
    }
    return -2;
}

std::string NamingName(Naming naming) {
    switch (naming) {
        case Naming::ProcLink:
            return "ProcLink";
        case Naming::Descriptor:
            return "Descriptor";
        case Naming::NamedFromStart:
            return "NamedFromStart";
    }
    return "";
}

// What another program does to the target between reading it and the commit.
enum class Meanwhile { Nothing, Creates, ReplacesByRename, RewritesInPlace, Removes };

void Do(Meanwhile meanwhile, const TempDir& dir) {
    switch (meanwhile) {
        case Meanwhile::Nothing:
            break;
        case Meanwhile::Creates:
            dir.write("x.dat", "theirs");
            break;
        case Meanwhile::ReplacesByRename:
            dir.write("other", "theirs");
            fs::rename(dir / "other", dir / "x.dat");
            break;
        case Meanwhile::RewritesInPlace:
            dir.write("x.dat", "theirs, longer");
            break;
        case Meanwhile::Removes:
            fs::remove(dir / "x.dat");
            break;
    }
}

struct CommitCase {
    const char* what;
    const char* before;  // the target's content, nullptr for none
    ReplaceRule::Kind rule;
    Meanwhile meanwhile;
    ArchiveOutput::Commit expected;
    Folder after;
};

class CommitRuleTest : public ::testing::TestWithParam<std::tuple<CommitCase, Naming>> {};

TEST_P(CommitRuleTest, ReplacesOnlyWhatTheRuleAllows) {
    const auto& [c, naming] = GetParam();
    TempDir dir;
    ReplaceRule rule{c.rule, {}};
    if (c.before != nullptr) {
        dir.write("x.dat", c.before);
        struct stat status {};
        ASSERT_EQ(::stat((dir / "x.dat").c_str(), &status), 0);
        rule.read = FileIdentity::Of(status);
    }
    gLinkFlags = -1;
    ArchiveOutput output(SystemFor(naming));
    ASSERT_TRUE(output.open(dir / "x.dat", 0644)) << output.error();
    ASSERT_TRUE(output.write(Bytes("new")));
    Do(c.meanwhile, dir);
    EXPECT_EQ(output.commit(rule), c.expected) << output.error();
    EXPECT_EQ(Snapshot(dir.path()), c.after);
    if (c.expected == ArchiveOutput::Commit::Done) {
        EXPECT_EQ(gLinkFlags, ExpectedLinkFlags(naming));
    }
}

using Kind = ReplaceRule::Kind;
using Commit = ArchiveOutput::Commit;

INSTANTIATE_TEST_SUITE_P(
    Rules, CommitRuleTest,
    ::testing::Combine(::testing::Values(CommitCase{"AnythingReplaces",
                                                    "old",
                                                    Kind::Anything,
                                                    Meanwhile::Nothing,
                                                    Commit::Done,
                                                    {{"x.dat", "new"}}},
                                         CommitCase{"AnythingReplacesWhatAppeared",
                                                    nullptr,
                                                    Kind::Anything,
                                                    Meanwhile::Creates,
                                                    Commit::Done,
                                                    {{"x.dat", "new"}}},
                                         CommitCase{"NothingOnAnEmptyName",
                                                    nullptr,
                                                    Kind::Nothing,
                                                    Meanwhile::Nothing,
                                                    Commit::Done,
                                                    {{"x.dat", "new"}}},
                                         CommitCase{"NothingKeepsWhatAppeared",
                                                    nullptr,
                                                    Kind::Nothing,
                                                    Meanwhile::Creates,
                                                    Commit::TargetExists,
                                                    {{"x.dat", "theirs"}}},
                                         CommitCase{"TheFileReadUnchanged",
                                                    "old",
                                                    Kind::TheFileRead,
                                                    Meanwhile::Nothing,
                                                    Commit::Done,
                                                    {{"x.dat", "new"}}},
                                         CommitCase{"TheFileReadReplacedByAnother",
                                                    "old",
                                                    Kind::TheFileRead,
                                                    Meanwhile::ReplacesByRename,
                                                    Commit::TargetChanged,
                                                    {{"x.dat", "theirs"}}},
                                         CommitCase{"TheFileReadRewritten",
                                                    "old",
                                                    Kind::TheFileRead,
                                                    Meanwhile::RewritesInPlace,
                                                    Commit::TargetChanged,
                                                    {{"x.dat", "theirs, longer"}}},
                                         CommitCase{"TheFileReadRemoved",
                                                    "old",
                                                    Kind::TheFileRead,
                                                    Meanwhile::Removes,
                                                    Commit::TargetChanged,
                                                    {}}),
                       ::testing::Values(Naming::ProcLink, Naming::Descriptor,
                                         Naming::NamedFromStart)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).what) + "_" +
               NamingName(std::get<1>(info.param));
    });

// fsync failing for the file, or for the folder after the rename.
bool gFailFileFlush = false;
bool gFailFolderFlush = false;
int FailingFsync(int fd) {
    struct stat status {};
    ::fstat(fd, &status);
    if (S_ISDIR(status.st_mode) ? gFailFolderFlush : gFailFileFlush) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

struct FlushCase {
    const char* what;
    bool fileFails;
    bool folderFails;
    ArchiveOutput::Commit expected;
    const char* content;  // the target's afterwards
};

class FlushTest : public ::testing::TestWithParam<FlushCase> {};

TEST_P(FlushTest, AFailedFlushIsReported) {
    const FlushCase& c = GetParam();
    TempDir dir;
    dir.write("x.dat", "old");
    gFailFileFlush = c.fileFails;
    gFailFolderFlush = c.folderFails;
    OutputSystemCalls system;
    system.fsync = FailingFsync;
    ArchiveOutput output(system);
    ASSERT_TRUE(output.open(dir / "x.dat", 0644));
    ASSERT_TRUE(output.write(Bytes("new")));
    EXPECT_EQ(output.commit({ReplaceRule::Kind::Anything, {}}), c.expected);
    EXPECT_EQ(output.error().empty(), c.expected == Commit::Done) << output.error();
    EXPECT_EQ(Snapshot(dir.path()), (Folder{{"x.dat", c.content}}));
}

INSTANTIATE_TEST_SUITE_P(Flushes, FlushTest,
                         ::testing::Values(FlushCase{"both", false, false, Commit::Done, "new"},
                                           FlushCase{"file", true, false, Commit::Failed, "old"},
                                           FlushCase{"folder", false, true, Commit::NotFlushed,
                                                     "new"}),
                         [](const auto& info) { return std::string(info.param.what); });

// A file system without RENAME_NOREPLACE: the name is given by a hard link instead, which
// fails just as surely when the name is taken, and the temporary name goes either way.
int NoNoReplace(int from, const char* old, int to, const char* name, unsigned flags) {
    if ((flags & RENAME_NOREPLACE) != 0) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(from, old, to, name, flags);
}
int NoHardLinks(int, const char*, int, const char*, int) {
    errno = EPERM;
    return -1;
}

struct NoReplaceCase {
    const char* what;
    bool hardLinks;
    bool appears;
    ArchiveOutput::Commit expected;
    Folder after;
    const char* message;  // part of error(), "" when none
};

class WithoutNoReplaceTest : public ::testing::TestWithParam<NoReplaceCase> {};

TEST_P(WithoutNoReplaceTest, NamesByAHardLinkAndNeverReplaces) {
    const NoReplaceCase& c = GetParam();
    TempDir dir;
    OutputSystemCalls system;
    system.renameat2 = NoNoReplace;
    system.descriptorFolder = "/nonexistent-proc/self/fd";  // named from the start
    system.mayLinkByDescriptor = No;
    if (!c.hardLinks) system.linkat = NoHardLinks;
    ArchiveOutput output(system);
    ASSERT_TRUE(output.open(dir / "x.dat", 0644)) << output.error();
    ASSERT_TRUE(output.write(Bytes("new")));
    if (c.appears) dir.write("x.dat", "theirs");
    EXPECT_EQ(output.commit({ReplaceRule::Kind::Nothing, {}}), c.expected);
    EXPECT_NE(output.error().find(c.message), std::string::npos) << output.error();
    EXPECT_EQ(Snapshot(dir.path()), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, WithoutNoReplaceTest,
    ::testing::Values(
        NoReplaceCase{"EmptyName", true, false, Commit::Done, {{"x.dat", "new"}}, ""},
        NoReplaceCase{
            "NameTaken", true, true, Commit::TargetExists, {{"x.dat", "theirs"}}, "appeared"},
        NoReplaceCase{"NoHardLinks", false, false, Commit::Failed, {}, "nor hard links"}),
    [](const auto& info) { return std::string(info.param.what); });

// A second interrupt between naming the new file and the rename: the process ends at once,
// and the name it had must go with it.
void EndLikeASecondInterrupt() {
    RemoveNewArchivesForExit();
    ::_exit(0);
}

class ExitPathTest : public ::testing::TestWithParam<Naming> {};

TEST_P(ExitPathTest, RemovesTheNamedFileBeforeTheRename) {
    TempDir dir;
    dir.write("x.dat", "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OutputSystemCalls system = SystemFor(GetParam());
        system.beforeRename = EndLikeASecondInterrupt;
        ArchiveOutput output(system);
        if (!output.open(dir / "x.dat", 0644) || !output.write(Bytes("new"))) ::_exit(2);
        output.commit({ReplaceRule::Kind::Anything, {}});
        ::_exit(3);  // the hook never returns
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Snapshot(dir.path()), (Folder{{"x.dat", "old"}}));
}

INSTANTIATE_TEST_SUITE_P(Namings, ExitPathTest,
                         ::testing::Values(Naming::ProcLink, Naming::Descriptor,
                                           Naming::NamedFromStart),
                         [](const auto& info) { return NamingName(info.param); });

struct CopyStopCase {
    std::uint64_t length;
    int chunksBeforeStop;  // -1: never stopped
    std::uint64_t copied;
};

class CopyStopTest : public ::testing::TestWithParam<CopyStopCase> {};

TEST_P(CopyStopTest, StopsBetweenChunks) {
    const CopyStopCase& c = GetParam();
    TempDir dir;
    const fs::path source = dir.write("source", std::string(c.length, 'x'));
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ArchiveOutput output;
    ASSERT_TRUE(output.open(dir / "x.dat", 0644));
    int chunks = 0;
    const bool done = output.copyFrom(fd, 0, c.length, [&](std::uint64_t) {
        return c.chunksBeforeStop < 0 || ++chunks < c.chunksBeforeStop;
    });
    ::close(fd);
    EXPECT_EQ(done, c.chunksBeforeStop < 0);
    EXPECT_EQ(output.stopped(), c.chunksBeforeStop >= 0);
    EXPECT_EQ(output.position(), c.copied);
    EXPECT_TRUE(output.error().empty()) << output.error();
}

constexpr std::uint64_t kMiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(Copies, CopyStopTest,
                         ::testing::Values(CopyStopCase{20 * kMiB, -1, 20 * kMiB},
                                           CopyStopCase{20 * kMiB, 1, 8 * kMiB},
                                           CopyStopCase{20 * kMiB, 2, 16 * kMiB},
                                           CopyStopCase{20 * kMiB, 3, 20 * kMiB},
                                           CopyStopCase{100, 1, 100}));

}  // namespace
}  // namespace tarvix::test
