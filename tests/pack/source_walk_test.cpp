// Finding the files to pack below the packed folder: never through a symbolic link, on the way
// to a PATH or at its end, by the kernel's walk and by the walk one component at a time.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "archive/unique_fd.h"
#include "pack/beneath_folder.h"
#include "pack/packed_file.h"
#include "pack/source_files.h"
#include "support/temp_dir.h"
#include "support/without_waiting.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;

// tree/real/a (a file), tree/real/sub/b, tree/dirlink -> real, tree/filelink -> real/a,
// tree/outside -> a folder beside the tree, tree/fifo.
void MakeTree(const TempDir& dir) {
    fs::create_directories(dir / "elsewhere");
    dir.write("elsewhere/secret", "secret");
    fs::create_directories(dir / "tree/real/sub");
    dir.write("tree/real/a", "a");
    dir.write("tree/real/sub/b", "b");
    fs::create_directory_symlink("real", dir / "tree/dirlink");
    fs::create_symlink("real/a", dir / "tree/filelink");
    fs::create_directory_symlink(dir / "elsewhere", dir / "tree/outside");
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0644), 0);
}

std::string WalkName(BeneathWalk walk) {
    return walk == BeneathWalk::Best ? "Kernel" : "ComponentByComponent";
}

struct OpenCase {
    const char* what;
    const char* relative;
    int flags;
    int error;  // 0 when it opens
};

class OpenBeneathTest : public ::testing::TestWithParam<std::tuple<OpenCase, BeneathWalk>> {};

TEST_P(OpenBeneathTest, FollowsNoLinkAndStaysBelow) {
    const auto& [c, walk] = GetParam();
    TempDir dir;
    MakeTree(dir);
    const UniqueFd folder(::open((dir / "tree").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // errno belongs to the thread that opened.
    const auto [opened, error] = WithoutWaitingOn(dir / "tree/fifo", [&] {
        errno = 0;
        const int fd = OpenBeneath(folder.get(), c.relative, c.flags, walk);
        return std::pair(fd, fd >= 0 ? 0 : errno);
    });
    const UniqueFd fd(opened);
    EXPECT_EQ(error, c.error) << std::strerror(error);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OpenBeneathTest,
    ::testing::Combine(
        ::testing::Values(OpenCase{"File", "real/a", O_RDONLY, 0},
                          OpenCase{"Deeper", "real/sub/b", O_RDONLY, 0},
                          OpenCase{"Folder", "real/sub", O_RDONLY | O_DIRECTORY, 0},
                          OpenCase{"FolderLinkOnTheWay", "dirlink/a", O_RDONLY, ELOOP},
                          OpenCase{"LinkOutOfTheTree", "outside/secret", O_RDONLY, ELOOP},
                          OpenCase{"LinkAtTheEnd", "filelink", O_RDONLY, ELOOP},
                          OpenCase{"FolderLinkAtTheEnd", "dirlink", O_RDONLY | O_DIRECTORY, ELOOP},
                          OpenCase{"FifoDoesNotBlock", "fifo", O_RDONLY | O_NONBLOCK, 0},
                          OpenCase{"Missing", "real/nothing", O_RDONLY, ENOENT},
                          OpenCase{"Up", "../elsewhere/secret", O_RDONLY, EXDEV},
                          OpenCase{"Absolute", "/etc/passwd", O_RDONLY, EXDEV}),
        ::testing::Values(BeneathWalk::Best, BeneathWalk::ComponentByComponent)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).what) + "_" + WalkName(std::get<1>(info.param));
    });

struct ScanCase {
    const char* what;
    std::vector<std::string> operands;
    std::vector<std::string> names;  // packed, in order
    std::size_t skipped;
    std::size_t refusals;
};

class LinkedPathTest : public ::testing::TestWithParam<std::tuple<ScanCase, BeneathWalk>> {};

TEST_P(LinkedPathTest, SkipsEveryPathThroughALink) {
    const auto& [c, walk] = GetParam();
    TempDir dir;
    MakeTree(dir);
    const SourceScan scan = ScanSources(dir / "tree", c.operands, walk);
    std::vector<std::string> names;
    for (const SourceFile& file : scan.files) names.push_back(file.name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(scan.skipped.size(), c.skipped);
    EXPECT_EQ(scan.refusals.size(), c.refusals);
}

INSTANTIATE_TEST_SUITE_P(
    Operands, LinkedPathTest,
    ::testing::Combine(
        ::testing::Values(ScanCase{"WholeTree", {"."}, {"real\\a", "real\\sub\\b"}, 4, 0},
                          ScanCase{"FileThroughAFolderLink", {"dirlink/a"}, {}, 1, 0},
                          ScanCase{"FolderThroughAFolderLink", {"dirlink/sub"}, {}, 1, 0},
                          ScanCase{"OutOfTheTreeThroughALink", {"outside/secret"}, {}, 1, 0},
                          ScanCase{
                              "FolderWithATrailingSlash", {"real/sub/"}, {"real\\sub\\b"}, 0, 0},
                          ScanCase{"AFifo", {"fifo"}, {}, 1, 0},
                          ScanCase{"MissingBelowAFile", {"real/a/b"}, {}, 0, 1}),
        ::testing::Values(BeneathWalk::Best, BeneathWalk::ComponentByComponent)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).what) + "_" + WalkName(std::get<1>(info.param));
    });

// Between the scan and the packing, the file found is swapped for something else.
enum class Swap { FolderForALink, FileForAFifo, FileForALink };

class SwappedSourceTest : public ::testing::TestWithParam<Swap> {};

TEST_P(SwappedSourceTest, IsNotOpenedThroughTheSwap) {
    TempDir dir;
    fs::create_directories(dir / "tree/sub");
    fs::create_directories(dir / "elsewhere");
    dir.write("tree/sub/f", "found");
    dir.write("elsewhere/f", "other");  // the same size: only the link would tell
    const SourceScan scan = ScanSources(dir / "tree", {"."});
    ASSERT_EQ(scan.files.size(), 1u);
    switch (GetParam()) {
        case Swap::FolderForALink:
            fs::rename(dir / "tree/sub", dir / "moved");
            fs::create_directory_symlink(dir / "elsewhere", dir / "tree/sub");
            break;
        case Swap::FileForAFifo:
            fs::remove(dir / "tree/sub/f");
            ASSERT_EQ(::mkfifo((dir / "tree/sub/f").c_str(), 0644), 0);
            break;
        case Swap::FileForALink:
            fs::remove(dir / "tree/sub/f");
            fs::create_symlink(dir / "elsewhere/f", dir / "tree/sub/f");
            break;
    }
    std::string error;
    const fs::path fifo = dir / "tree/sub/f";
    const UniqueFd fd(WithoutWaitingOn(fifo, [&] { return OpenSource(scan.files[0], error); }));
    EXPECT_FALSE(fd.valid());
    EXPECT_NE(error, "");
    const PackedFile packed = WithoutWaitingOn(fifo, [&] { return PackFile(scan.files[0], 9); });
    EXPECT_NE(packed.error, "");
    EXPECT_TRUE(packed.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(Swaps, SwappedSourceTest,
                         ::testing::Values(Swap::FolderForALink, Swap::FileForAFifo,
                                           Swap::FileForALink));

}  // namespace
}  // namespace tarvix::test
