#include "archive/dat_archive.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"
#include "support/without_waiting.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;
using test::TempDir;

struct Loaded {
    TempDir dir;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;

    explicit Loaded(const std::string& bytes) {
        const auto result = archive.load(dir.write("a.dat", bytes));
        EXPECT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
    }
};

TEST(DatArchive, OneEntryArchiveIs33BytesWithItsEntryListEndingAtTheTrailer) {
    const std::string bytes = BuildDat({Make("A", "xyz")});
    ASSERT_EQ(bytes.size(), 33u);
    Loaded l(bytes);
    EXPECT_EQ(l.archive.treeSize(), 22u);
    EXPECT_EQ(l.archive.dataSize(), 33u);
    ASSERT_EQ(l.archive.dirBlock().size(), 18u);
    EXPECT_EQ(std::memcmp(l.archive.dirBlock().data(), bytes.data() + 7, 18), 0);
    EXPECT_EQ(l.archive.entryCount(), 1u);

    const EntryInfo info = GetEntryInfo(l.table, 0);
    EXPECT_EQ(info.name, "A");
    EXPECT_EQ(info.realSize, 3u);
    EXPECT_EQ(info.packedSize, 3u);
    EXPECT_EQ(info.offset, 0u);
}

TEST(DatArchive, EntriesFollowEachOtherAtNameSizePlus17Bytes) {
    Loaded l(BuildDat({Make("TWELVE_CHARS", "ab"), Make("B", "c")}));
    ASSERT_EQ(l.archive.entryCount(), 2u);
    EXPECT_EQ(l.table[1] - l.table[0], 29);
    EXPECT_EQ(l.table[2], nullptr);
    EXPECT_EQ(GetEntryInfo(l.table, 1).name, "B");
}

TEST(DatArchive, WalkGoesByBytesWhateverFilesTotalSays) {
    datwriter::Layout layout;
    layout.filesTotal = 99;
    Loaded l(BuildDat({Make("A\\X", "1"), Make("B\\Y", "22")}, layout));
    EXPECT_EQ(l.archive.entryCount(), 2u);
    EXPECT_EQ(l.table[2], nullptr);
}

TEST(DatArchive, LastEntryInfoComesFromTheLastBytesOfTheEntryList) {
    auto last = Make("DIR\\LAST.FRM", "12345");
    last.realSize = 0xDEADBEEF;
    last.offset = 0x01020304;
    Loaded l(BuildDat({Make("DIR\\FIRST", "aa"), last}));
    const auto block = l.archive.dirBlock();
    const EntryInfo info = GetEntryInfo(l.table, 1);
    EXPECT_EQ(info.name, "DIR\\LAST.FRM");
    EXPECT_EQ(info.realSize, 0xDEADBEEFu);
    EXPECT_EQ(info.packedSize, 5u);
    EXPECT_EQ(info.offset, ReadU32LE(block.data() + block.size() - 4));
    EXPECT_EQ(info.offset, 0x01020304u);
}

TEST(DatArchive, NamesOf128BytesAndLongerAndNamesCutAtAZeroByte) {
    const std::string longName(128, 'N');
    const std::string longer = std::string(255, 'M');
    std::string withZero("AB\0CD", 5);
    Loaded l(BuildDat({Make(longName, "1"), Make(longer, "22"), Make(withZero, "333")}));
    ASSERT_EQ(l.archive.entryCount(), 3u);
    EXPECT_EQ(GetEntryInfo(l.table, 0).name, longName);
    EXPECT_EQ(GetEntryInfo(l.table, 1).name, longer);
    EXPECT_EQ(GetEntryInfo(l.table, 1).packedSize, 2u);
    EXPECT_EQ(GetEntryInfo(l.table, 2).name, "AB");
    EXPECT_EQ(GetEntryInfo(l.table, 2).packedSize, 3u);
}

TEST(DatArchive, ArchiveWithNoEntriesLoads) {
    Loaded l(BuildDat({}));
    EXPECT_TRUE(l.archive.isLoaded());
    EXPECT_EQ(l.archive.treeSize(), 4u);
    EXPECT_EQ(l.archive.dirBlock().size(), 0u);
    EXPECT_EQ(l.table[0], nullptr);
    EXPECT_EQ(l.folders.nodeCount(), 1u);  // the root alone
}

std::string WithTrailer(std::string body, std::uint32_t treeSize, std::uint32_t dataSize) {
    for (std::uint32_t v : {treeSize, dataSize}) {
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return body;
}

struct RefusalCase {
    const char* label;
    std::string bytes;
    const char* message;
};

std::vector<RefusalCase> RefusalCases() {
    datwriter::Layout wrongLength;
    wrongLength.dataSize = 1000;
    datwriter::Layout leftover;
    leftover.extraListBytes = "abc";
    auto hugeName = Make("A", "1");
    hugeName.nameSize = 0xFFFFFFFF;
    auto highBytes = Make("ABCD", "1");
    highBytes.nameSize = 0x01000004;  // lowest byte says 4, the whole value overruns
    return {
        {"empty file", "", messages::kTooShort},
        {"seven bytes", "1234567", messages::kTooShort},
        {"length mismatch", BuildDat({Make("A", "1")}, wrongLength), messages::kSizeMismatch},
        {"TreeSize 0", WithTrailer("abcd", 0, 12), messages::kTreeTooSmall},
        {"TreeSize 3", WithTrailer("abcd", 3, 12), messages::kTreeTooSmall},
        {"TreeSize past the start", WithTrailer("abcd", 5, 12), messages::kTreeTooLarge},
        {"TreeSize of the whole file", WithTrailer("", 0xFFFFFFFF, 8), messages::kTreeTooLarge},
        {"bytes left after the last entry", BuildDat({Make("A", "1")}, leftover),
         messages::kEntryOverrun},
        {"NameSize 0xFFFFFFFF", BuildDat({hugeName}), messages::kEntryOverrun},
        {"NameSize with upper bytes set", BuildDat({highBytes}), messages::kEntryOverrun},
    };
}

TEST(DatArchive, RefusesBrokenFilesWithTheReasonFirst) {
    for (const RefusalCase& c : RefusalCases()) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        DatArchive archive;
        const DatArchive::LoadResult result = archive.load(dir.write("bad.dat", c.bytes));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, c.message);
        EXPECT_FALSE(result.openError);
        EXPECT_FALSE(archive.isLoaded());
        EXPECT_TRUE(archive.dirBlock().empty());
    }
}

// Files that are not regular files: refused at once as too short, never waited on.
TEST(DatArchive, SpecialFilesAreRefusedWithoutWaiting) {
    struct SpecialCase {
        const char* label;
        std::function<std::filesystem::path(TempDir&)> make;
    };
    const SpecialCase cases[] = {
        {"FIFO without a writer",
         [](TempDir& dir) {
             const std::filesystem::path at = dir.path() / "pipe.dat";
             EXPECT_EQ(::mkfifo(at.c_str(), 0600), 0);
             return at;
         }},
        {"character device", [](TempDir&) { return std::filesystem::path("/dev/null"); }},
    };
    for (const SpecialCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        DatArchive archive;
        const std::filesystem::path special = c.make(dir);
        const DatArchive::LoadResult result =
            test::WithoutWaitingOn(special, [&] { return archive.load(special); });
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, messages::kTooShort);
        EXPECT_FALSE(archive.isLoaded());
    }
}

TEST(DatArchive, CloseArchiveReleasesEverythingAndMayRunTwice) {
    Loaded l(BuildDat({Make("A", "1")}));
    l.archive.CloseArchive();
    l.archive.CloseArchive();
    EXPECT_FALSE(l.archive.isLoaded());
    EXPECT_TRUE(l.archive.dirBlock().empty());
    std::uint8_t byte = 0;
    EXPECT_EQ(l.archive.readAt(0, &byte, 1), 0u);
}

// What another program may have done to the archive's file between loading its entry list and
// reopening it by name to copy from it; only an untouched file is the one that was read.
struct ChangeAfterLoad {
    const char* what;
    std::function<void(const std::filesystem::path&)> change;
    bool unchanged;
};

void SetModified(const std::filesystem::path& file, std::time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST(DatArchive, ReopenedFileIsTheOneLoadedOnlyWhenNothingChangedIt) {
    const ChangeAfterLoad cases[] = {
        {"nothing", [](const auto&) {}, true},
        {"same bytes, same length, later time",
         [](const auto& file) { SetModified(file, 2'000'000'000); }, false},
        {"rewritten in place at the same length",
         [](const auto& file) {
             struct stat before {};
             ASSERT_EQ(::stat(file.c_str(), &before), 0);
             std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(0).put('Z');
             SetModified(file, before.st_mtim.tv_sec + 5);
         },
         false},
        {"grown", [](const auto& file) { std::ofstream(file, std::ios::app) << "more"; }, false},
        {"replaced by a copy under its name",
         [](const auto& file) {
             const std::filesystem::path copy = file.string() + ".copy";
             std::filesystem::copy_file(file, copy);
             std::filesystem::rename(copy, file);
         },
         false},
    };
    for (const ChangeAfterLoad& c : cases) {
        SCOPED_TRACE(c.what);
        Loaded l(BuildDat({Make("A", "xyz")}));
        const std::filesystem::path file = l.dir.path() / "a.dat";
        SetModified(file, 1'000'000'000);
        l.archive.CloseArchive();
        ASSERT_TRUE(l.archive.load(file).ok);
        c.change(file);
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(l.archive.isUnchangedFile(fd), c.unchanged);
        ::close(fd);
    }
}

}  // namespace
}  // namespace tarvix
