// Extraction onto a destination that fails under it, and from an archive that shrinks while
// the batch runs. Whatever fails, the entry being written leaves nothing behind, the failure
// is reported, and the rows after it are still extracted.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#ifdef __linux__
#include <sys/mount.h>
#endif

#include "extract/batch_extraction.h"
#include "extract/extract_fixture.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using datwriter::Make;
using Files = std::map<std::string, std::string>;

class FailingDiskTest : public test::ExtractFixture {
protected:
    void TearDown() override {
#ifdef __linux__
        if (mounted_) umount2(dest().c_str(), MNT_DETACH);
#endif
    }

    // Mounts a tmpfs of `bytes` over the destination. Only root may (CAP_SYS_ADMIN); elsewhere
    // the caller skips.
    bool MountSmallFileSystem(std::size_t bytes, std::string& why) {
#ifdef __linux__
        fs::create_directory(dest());
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (mount("tarvix-test", dest().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
            0) {
            mounted_ = true;
            return true;
        }
        why = std::string("cannot mount a tmpfs (") + std::strerror(errno) +
              "); this needs root with CAP_SYS_ADMIN";
#else
        (void)bytes;
        why = "mounting a small file system is done on Linux only";
#endif
        return false;
    }

    // The permission bits do not stop root, a read-only file system does.
    void SetReadOnly(bool readOnly) {
#ifdef __linux__
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV |
                                    (readOnly ? static_cast<unsigned long>(MS_RDONLY) : 0UL);
        ASSERT_EQ(mount("tarvix-test", dest().c_str(), "tmpfs", flags, nullptr), 0)
            << std::strerror(errno);
#else
        (void)readOnly;
#endif
    }

    BatchReport Run(const std::vector<EntryIndex>& entries, const BatchOptions& options = {}) {
        return ExtractBatch(archive, table, entries, ExtractTarget{dest(), std::nullopt}, options);
    }

    bool mounted_ = false;
};

// The disk fills after the batch has found room for it: the big file fails alone, for lack
// of room (and is tried once more, alone), and the others land.
TEST_F(FailingDiskTest, NearlyFullFileSystemFailsTheBigFileOnly) {
    std::string why;
    if (!MountSmallFileSystem(256 * 1024, why)) GTEST_SKIP() << why;
    const std::string filler(160 * 1024, 'f');
    std::ofstream(dest() / "BIG") << "before";
    Load({Make("D\\A", "first"), Make("D\\BIG", std::string(200 * 1024, 'b')),
          Make("D\\C", "last")});

    BatchOptions options;
    options.beforeEntry = [&](std::size_t done, std::size_t) {
        if (done == 0 && !fs::exists(dest() / "FILLER")) std::ofstream(dest() / "FILLER") << filler;
        return true;
    };
    const BatchReport report = Run({0, 1, 2}, options);
    const std::string failure = "Cannot write D\\BIG: No space left on device";
    EXPECT_EQ(report.failures, std::vector<std::string>{failure});
    EXPECT_EQ(FormatBatchReport(report), "1 of 3 file(s) could not be extracted:\n" + failure);
    EXPECT_EQ(test::Snapshot(dest()),
              (Files{{"A", "first"}, {"BIG", "before"}, {"C", "last"}, {"FILLER", filler}}));
}

TEST_F(FailingDiskTest, DestinationTurningReadOnlyPartWayFailsOnlyWhileItIs) {
    std::string why;
    if (!MountSmallFileSystem(1024 * 1024, why)) GTEST_SKIP() << why;
    std::ofstream(dest() / "B") << "before";
    Load({Make("A", "a"), Make("B", "b"), Make("C", "c"), Make("D", "d")});

    // Read-only from the second file on, writable again for the fourth.
    BatchOptions options;
    options.threads = 1;
    options.beforeEntry = [&](std::size_t done, std::size_t) {
        if (done == 1) SetReadOnly(true);
        if (done == 3) SetReadOnly(false);
        return true;
    };
    const BatchReport report = Run({0, 1, 2, 3}, options);
    EXPECT_EQ(report.written, 2u);
    EXPECT_EQ(report.failures, (std::vector<std::string>{"Cannot write B: Read-only file system",
                                                         "Cannot write C: Read-only file system"}));
    EXPECT_EQ(test::Snapshot(dest()), (Files{{"A", "a"}, {"B", "before"}, {"D", "d"}}));
}

// An archive of `entries` in a folder of its own, loaded and indexed, with an empty "out".
struct LoadedArchive {
    explicit LoadedArchive(const std::vector<datwriter::Entry>& entries)
        : path(work.write("in.dat", datwriter::BuildDat(entries))), dest(work / "out") {
        if (archive.load(path).ok) folders.BuildFolderTree(archive, table);
        fs::create_directory(dest);
    }
    test::TempDir work;
    fs::path path;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
    fs::path dest;
};

// The archive is cut after the first file of the batch is written. The entry list is in
// memory and not read again; only entries whose stored bytes are gone fail.
TEST(ArchiveCutShort, DuringTheBatchFailsOnlyTheEntriesWhoseBytesAreGone) {
    std::string big = "\x78\xDA";  // a zlib header: the output is BIG.gz
    for (int i = 0; big.size() < 200 * 1024; ++i) big += std::to_string(i);
    const std::string gz = std::string("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03", 10) + "BIG" +
                           std::string(1, '\0') + big.substr(2);
    const std::uint64_t bigStart = 2;  // after the data of A and C
    const std::string cannotRead = kOutcomeCannotRead;
    struct Case {
        const char* label;
        std::uint64_t length;
        std::vector<std::string> failures;
        Files files;
    };
    const std::vector<Case> cases = {
        {"to nothing",
         0,
         {"BIG: " + cannotRead, "C: " + cannotRead},
         {{"A", "a"}, {"BIG.gz", "before"}}},
        {"inside the first chunk",
         bigStart + 1000,
         {"BIG: " + cannotRead},
         {{"A", "a"}, {"BIG.gz", "before"}, {"C", "c"}}},
        {"inside the second chunk",
         bigStart + 100 * 1024,
         {"BIG: " + cannotRead},
         {{"A", "a"}, {"BIG.gz", "before"}, {"C", "c"}}},
        {"after the data, the entry list gone",
         bigStart + big.size(),
         {},
         {{"A", "a"}, {"BIG.gz", gz}, {"C", "c"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoadedArchive loaded({Make("A", "a"), Make("C", "c"), Make("BIG", big)});
        ASSERT_TRUE(loaded.archive.isLoaded());
        auto& [work, path, archive, table, folders, dest] = loaded;
        std::ofstream(dest / "BIG.gz") << "before";

        const std::vector<EntryIndex> order = {0, 2, 1};
        BatchOptions options;
        options.threads = 1;
        options.beforeEntry = [&](std::size_t done, std::size_t) {
            if (done == 1) fs::resize_file(path, c.length);
            return true;
        };
        const BatchReport report =
            ExtractBatch(archive, table, order, ExtractTarget{dest, std::nullopt}, options);
        EXPECT_EQ(report.failures, c.failures);
        EXPECT_EQ(test::Snapshot(dest), c.files);
    }
}

// A read that fails after the entry's folders were made takes away the folders this entry
// made, and only those: one that was there before stays.
TEST(ArchiveCutShort, InsideAnEntryRemovesTheFoldersItMade) {
    struct Case {
        const char* label;
        std::vector<std::string> existing;  // folders below the destination beforehand
        Files left;
    };
    const std::vector<Case> cases = {
        {"none there before", {}, {}},
        {"the first there before", {"NEW"}, {{"NEW", "<dir>"}}},
        {"both there before", {"NEW", "NEW/SUB"}, {{"NEW", "<dir>"}, {"NEW/SUB", "<dir>"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoadedArchive loaded({Make("BIG", std::string(200 * 1024, 'b'))});
        ASSERT_TRUE(loaded.archive.isLoaded());
        auto& [work, path, archive, table, folders, dest] = loaded;
        for (const std::string& folder : c.existing) fs::create_directory(dest / folder);
        // The first 64 KiB chunk still reads; the second does not.
        fs::resize_file(path, 100 * 1024);

        const std::vector<EntryIndex> entries = {0};
        const BatchReport report =
            ExtractBatch(archive, table, entries, ExtractTarget{dest, "NEW\\SUB"});
        EXPECT_EQ(report.failures, std::vector<std::string>{"BIG: Cannot read DAT file"});
        EXPECT_EQ(test::Snapshot(dest), c.left);
    }
}

}  // namespace
}  // namespace tarvix
