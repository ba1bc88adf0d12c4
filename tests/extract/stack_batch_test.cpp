// Extraction over a stack as one batch: the room checked once for the whole selection, one
// progress from start to finish, and the files written in a known order.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#endif

#include "archive/source_stack.h"
#include "dat_writer.h"
#include "extract/stack_batch.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using datwriter::BuildDat;
using datwriter::Make;

// One source: an archive of entries (name, content), or, when `folder` is set, a folder of
// files at those paths ('\' becomes '/').
struct SourceToMake {
    std::string name;
    bool folder = false;
    std::vector<std::pair<std::string, std::string>> files;
};

class StackBatchTest : public ::testing::Test {
protected:
    void TearDown() override {
#ifdef __linux__
        if (mounted_) umount2(dest().c_str(), MNT_DETACH);
#endif
    }

    // A stack of `sources`, first wins, in place of the one built before.
    void Build(const std::vector<SourceToMake>& sources) {
        stack = std::make_unique<SourceStack>();
        for (const SourceToMake& source : sources) {
            if (source.folder) {
                for (const auto& [path, content] : source.files) {
                    std::string relative = source.name + "/" + path;
                    std::replace(relative.begin(), relative.end(), '\\', '/');
                    fs::create_directories((work / relative).parent_path());
                    work.write(relative, content);
                }
            } else {
                std::vector<datwriter::Entry> entries;
                for (const auto& [path, content] : source.files)
                    entries.push_back(Make(path, content));
                work.write(source.name, BuildDat(entries));
            }
            StackSource::Opened opened = StackSource::Open(work / source.name, source.name);
            ASSERT_NE(opened.source, nullptr) << opened.error;
            stack->add(std::move(opened.source));
        }
        stack->build();
        fs::create_directories(dest());
    }

    std::vector<std::uint32_t> Everything() const {
        std::vector<std::uint32_t> places(stack->entries().size());
        std::iota(places.begin(), places.end(), 0u);
        return places;
    }

    // A tmpfs of `bytes` over the destination; only root may mount one.
    bool MountSmallFileSystem(std::size_t bytes, std::string& why) {
#ifdef __linux__
        fs::create_directories(dest());
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (mount("tarvix-test", dest().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
            0) {
            mounted_ = true;
            return true;
        }
        why = std::string("cannot mount a tmpfs (") + std::strerror(errno) + ")";
#else
        (void)bytes;
        why = "mounting a small file system is done on Linux only";
#endif
        return false;
    }

    fs::path dest() const {
        return work / "out";
    }

    test::TempDir work;
    std::unique_ptr<SourceStack> stack;
    bool mounted_ = false;
};

// Each source's files would fit alone; only the whole selection tells whether it fits.
TEST_F(StackBatchTest, RoomIsCheckedOnceForTheWholeSelection) {
    struct Case {
        const char* label;
        std::size_t eachFile;  // bytes of each of the three files, one per source
        bool refused;
    };
    const std::vector<Case> cases = {
        {"together too large: nothing is written", 60 * 1024, true},
        {"together small enough: all are written", 20 * 1024, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string bytes(c.eachFile, 'x');
        std::string why;
        ASSERT_NO_FATAL_FAILURE(Build({{"first.dat", false, {{"A\\ONE", bytes}}},
                                       {"mod", true, {{"B\\two", bytes}}},
                                       {"last.dat", false, {{"C\\THREE", bytes}}}}));
        if (!mounted_ && !MountSmallFileSystem(128 * 1024, why)) GTEST_SKIP() << why;
        for (const auto& entry : fs::directory_iterator(dest())) fs::remove_all(entry.path());
        const BatchReport report =
            ExtractStack(*stack, Everything(), ExtractTarget{dest(), std::nullopt});
        EXPECT_EQ(report.noRoom.has_value(), c.refused);
        EXPECT_EQ(report.written, c.refused ? 0u : 3u);
        EXPECT_EQ(fs::is_empty(dest()), c.refused);
        EXPECT_TRUE(report.failures.empty());
    }
}

TEST_F(StackBatchTest, ProgressRunsOnceOverEverySource) {
    struct Case {
        const char* label;
        std::vector<std::uint32_t> places;  // empty for every entry
    };
    ASSERT_NO_FATAL_FAILURE(
        Build({{"patch.dat", false, {{"ART\\A.FRM", "patched"}, {"TEXT\\T.MSG", "t"}}},
               {"data", true, {{"art\\b.frm", "folder b"}, {"maps\\m.map", "map"}}},
               {"master.dat", false, {{"art\\a.frm", "hidden"}, {"ART\\C.FRM", "master c"}}}}));
    ASSERT_EQ(stack->entries().size(), 5u);
    const std::vector<Case> cases = {
        {"every entry of three sources", {}},
        {"one of each source", {0, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<std::uint32_t> places = c.places.empty() ? Everything() : c.places;
        std::uint64_t bytes = 0;
        for (std::uint32_t place : places) {
            const StackEntry& entry = stack->entries()[place];
            const StackSource& source = stack->source(entry.source);
            bytes += source.kind() == StackSource::Kind::Folder
                         ? source.files()[entry.index].size
                         : GetEntrySizes(source.table(), entry.index).packedSize;
        }
        BatchMonitor monitor;
        BatchOptions options;
        options.monitor = &monitor;
        fs::remove_all(dest());
        fs::create_directories(dest());
        const BatchReport report =
            ExtractStack(*stack, places, ExtractTarget{dest(), std::nullopt}, options);
        EXPECT_EQ(report.written, places.size());
        const BatchMonitor::Progress progress = monitor.progress();
        EXPECT_EQ(progress.filesTotal, places.size());
        EXPECT_EQ(progress.filesDone, places.size());
        EXPECT_EQ(progress.bytesTotal, bytes);
        EXPECT_EQ(progress.bytesDone, bytes);
        EXPECT_TRUE(monitor.finished());
    }
}

// With no folders of their own, same-named files of one source come out in the order asked
// for, the later one staying, whichever folders they come from; written positions say the
// order, for the "replaced" lines.
TEST_F(StackBatchTest, WrittenPositionsComeInTheOrderWritten) {
    struct Case {
        const char* label;
        SourceToMake source;
        std::string name;   // the file the last entry in the game's order writes
        std::string stays;  // the content of the last entry in the game's order
    };
    const std::vector<Case> cases = {
        {"a folder source", {"mod", true, {{"b\\x.txt", "b"}, {"a\\x.txt", "a"}}}, "x.txt", "b"},
        {"an archive", {"base.dat", false, {{"B\\X.TXT", "b"}, {"A\\X.TXT", "a"}}}, "X.TXT", "b"},
        {"an archive, a subfolder between two entries of one folder",
         {"src.dat", false, {{"ART\\A.FRM", "a"}, {"ART\\B\\Z.FRM", "b"}, {"ART\\Z.FRM", "z"}}},
         "Z.FRM",
         "z"},
        {"a folder source, a subfolder between two entries of one folder",
         {"mod", true, {{"art\\a.frm", "a"}, {"art\\b\\z.frm", "b"}, {"art\\z.frm", "z"}}},
         "z.frm",
         "z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(work / "mod");
        fs::remove_all(dest());
        ASSERT_NO_FATAL_FAILURE(Build({c.source}));
        const std::vector<std::uint32_t> places = Everything();  // the game's order
        const BatchReport report =
            ExtractStack(*stack, places, ExtractTarget{dest(), std::nullopt});
        std::vector<std::size_t> inOrder(places.size());
        std::iota(inOrder.begin(), inOrder.end(), 0u);
        EXPECT_EQ(report.writtenPositions, inOrder);
        EXPECT_EQ(test::ReadFile(dest() / c.name), c.stays);
        fs::remove_all(work / "mod");  // a folder's files are named without reading them
        EXPECT_EQ(StackWrittenPath(*stack, places.back(), ExtractTarget{dest(), std::nullopt}),
                  c.name);
    }
}

}  // namespace
}  // namespace tarvix
