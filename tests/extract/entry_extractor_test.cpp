#include "extract/entry_extractor.h"

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <map>

#include "extract_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;
using test::ReadFile;
using test::Snapshot;
namespace fs = std::filesystem;

std::string ZlibBest(const std::string& text) {
    return datwriter::Zlib(text, 9);
}

class EntryExtractorTest : public test::ExtractFixture {};

TEST_F(EntryExtractorTest, ZlibEntryBecomesAGzipFileByteForByte) {
    const std::string stored = ZlibBest("hello hello hello hello");
    ASSERT_EQ(static_cast<unsigned char>(stored[1]), 0xDA);
    Load({Make("ART\\IFACE.FRM", stored)});
    EXPECT_EQ(Extract(0), "ok");

    const std::string expected = std::string("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03", 10) +
                                 "IFACE.FRM" + std::string(1, '\0') + stored.substr(2);
    const std::string written = ReadFile(dest() / "IFACE.FRM.gz");
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.size(), 10 + 9 + 1 + stored.size() - 2);
    EXPECT_FALSE(fs::exists(dest() / "IFACE.FRM"));
}

TEST_F(EntryExtractorTest, GzipOutputUnpacksWithTheRealGzip) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "line " + std::to_string(i) + " of the message file\n";
    Load({Make("TEXT\\MISC.MSG", ZlibBest(text))});
    ASSERT_EQ(Extract(0), "ok");
    const std::string command = "gzip -dc '" + (dest() / "MISC.MSG.gz").string() + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string unpacked;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) unpacked.append(buf, n);
    pclose(pipe);  // gzip exits non-zero: the format never had a gzip trailer
    EXPECT_EQ(unpacked, text);
}

TEST_F(EntryExtractorTest, OtherDataIsWrittenUnchangedUnderThePlainName) {
    Load({Make("A\\DEFAULT.BIN", std::string("\x78\x9C\x01\x02", 4)),
          Make("A\\FAST.BIN", std::string("\x78\x01\x05", 3)), Make("A\\EMPTY.TXT", ""),
          Make("A\\ONE.BIN", "\x78"), Make("A\\HALF.BIN", std::string("\xDA\x78", 2))});
    for (EntryIndex i = 0; i < 5; ++i) EXPECT_EQ(Extract(i), "ok");
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{
                                    {"DEFAULT.BIN", std::string("\x78\x9C\x01\x02", 4)},
                                    {"FAST.BIN", std::string("\x78\x01\x05", 3)},
                                    {"EMPTY.TXT", ""},
                                    {"ONE.BIN", "\x78"},
                                    {"HALF.BIN", std::string("\xDA\x78", 2)}}));
}

TEST_F(EntryExtractorTest, LargeEntriesAreCopiedInFullAcrossChunks) {
    std::string big;
    for (int i = 0; big.size() < 300 * 1024; ++i) big += std::to_string(i * 7919) + ",";
    const std::string zipped = ZlibBest(big + big + big);
    Load({Make("BIG.RAW", big), Make("BIG.ZIP", zipped)});
    EXPECT_EQ(Extract(0), "ok");
    EXPECT_EQ(Extract(1), "ok");
    EXPECT_EQ(ReadFile(dest() / "BIG.RAW"), big);
    EXPECT_EQ(ReadFile(dest() / "BIG.ZIP.gz").substr(18), zipped.substr(2));
}

TEST_F(EntryExtractorTest, PreservedPathsMakeNestedFoldersAndReuseExistingOnes) {
    Load({Make("ART\\CRITTERS\\A.FRM", "a"), Make("ART\\CRITTERS\\B.FRM", "b"),
          Make("README", "r")});
    EXPECT_EQ(Extract(0, "ART\\CRITTERS"), "ok");
    EXPECT_EQ(Extract(1, "ART\\CRITTERS"), "ok");
    EXPECT_EQ(Extract(2, "README"), "ok");  // a top-level file's folder is its own name
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"ART", "<dir>"},
                                                                    {"ART/CRITTERS", "<dir>"},
                                                                    {"ART/CRITTERS/A.FRM", "a"},
                                                                    {"ART/CRITTERS/B.FRM", "b"},
                                                                    {"README", "<dir>"},
                                                                    {"README/README", "r"}}));
}

TEST_F(EntryExtractorTest, ExistingOutputIsReplacedAndTheOtherNameLeftAlone) {
    Load({Make("D\\DATA.BIN", ZlibBest("zzz")), Make("D\\PLAIN.TXT", "new")});
    std::ofstream(dest() / "DATA.BIN.gz") << "old gzip";
    std::ofstream(dest() / "DATA.BIN") << "keep me";
    std::ofstream(dest() / "PLAIN.TXT") << "old text that is longer";
    EXPECT_EQ(Extract(0), "ok");
    EXPECT_EQ(Extract(1), "ok");
    EXPECT_NE(ReadFile(dest() / "DATA.BIN.gz"), "old gzip");
    EXPECT_EQ(ReadFile(dest() / "DATA.BIN"), "keep me");
    EXPECT_EQ(ReadFile(dest() / "PLAIN.TXT"), "new");
    EXPECT_EQ(Snapshot(dest()).size(), 3u);  // no temporary file left behind
}

TEST_F(EntryExtractorTest, Windows1252NamesBecomeUnicodeFileNames) {
    Load({Make("D\xC9J\xC0\\CAF\xC9\x80.TXT", "x")});
    EXPECT_EQ(Extract(0, "D\xC9J\xC0"), "ok");
    EXPECT_EQ(ReadFile(dest() / fs::path(u8"DÉJÀ") / fs::path(u8"CAFÉ€.TXT")), "x");
}

TEST_F(EntryExtractorTest, NamesUpToTheFileSystemLimitAreWritten) {
    const std::string longest(255, 'L');
    Load({Make("D\\" + longest, "x")});
    EXPECT_EQ(Extract(0), "ok");
    EXPECT_EQ(ReadFile(dest() / longest), "x");
}

// Names that would reach outside the destination; each must write nothing at all.
TEST_F(EntryExtractorTest, NamesThatEscapeTheDestinationWriteNothing) {
    struct Case {
        std::string name;
        std::optional<std::string> preserved;
    };
    const std::vector<Case> cases = {
        {"..", std::nullopt},
        {"DIR\\..", std::nullopt},
        {"DIR\\.", std::nullopt},
        {"DIR\\", std::nullopt},
        {"DIR\\../../evil", std::nullopt},
        {"DIR\\/etc/evil", std::nullopt},
        {"DIR\\C:evil", std::nullopt},
        {"DIR\\c:\\evil", "DIR\\c:"},
        {"..\\evil", ".."},
        {"A\\..\\..\\evil", "A\\..\\.."},
        {"DIR/../..\\evil", "DIR/../.."},
        {"/tmp\\evil", "/tmp"},
        {"C:\\evil", "C:"},
        {".\\evil", "."},
        {"OK\\..\\evil", "OK\\.."},
    };
    std::vector<datwriter::Entry> entries;
    for (const Case& c : cases) entries.push_back(Make(c.name, "x"));
    Load(entries);
    fs::create_directory(work / "sibling");
    const auto before = Snapshot(work.path());
    for (EntryIndex i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(Extract(i, cases[i].preserved), "Cannot write " + cases[i].name);
    }
    EXPECT_EQ(Snapshot(work.path()), before);
}

TEST_F(EntryExtractorTest, EmptyComponentsMakeNoFolder) {
    Load({Make("\\\\LEAD\\\\X\\F.TXT", "f")});
    EXPECT_EQ(Extract(0, "\\\\LEAD\\\\X"), "ok");
    EXPECT_EQ(Snapshot(dest()),
              (std::map<std::string, std::string>{
                  {"LEAD", "<dir>"}, {"LEAD/X", "<dir>"}, {"LEAD/X/F.TXT", "f"}}));
}

TEST_F(EntryExtractorTest, LinksInTheDestinationAreNeverFollowed) {
    Load({Make("LINK\\F.TXT", "new"), Make("D\\OUT.TXT", "new")});
    fs::create_directory(work / "outside");
    fs::create_directory_symlink(work / "outside", dest() / "LINK");
    std::ofstream(work / "outside" / "OUT.TXT") << "outside";
    fs::create_symlink(work / "outside" / "OUT.TXT", dest() / "OUT.TXT");

    EXPECT_EQ(Extract(0, "LINK"), "Cannot write LINK\\F.TXT: Not a directory");
    EXPECT_EQ(Extract(1), "ok");  // the link itself is replaced, its target is not written
    EXPECT_EQ(ReadFile(work / "outside" / "OUT.TXT"), "outside");
    EXPECT_FALSE(fs::is_symlink(dest() / "OUT.TXT"));
    EXPECT_EQ(ReadFile(dest() / "OUT.TXT"), "new");
    EXPECT_FALSE(fs::exists(work / "outside" / "F.TXT"));
}

TEST_F(EntryExtractorTest, DataBeyondTheArchiveIsRefusedBeforeAnythingIsMade) {
    auto pastEnd = Make("FAR\\PAST.BIN", "abc");
    pastEnd.offset = 100000;
    auto tooLong = Make("FAR\\LONG.BIN", "abc");
    tooLong.packedSize = 0xFFFFFFFF;
    auto wraps = Make("FAR\\WRAP.BIN", "abc");
    wraps.offset = 0xFFFFFFF0;
    wraps.packedSize = 0x20;
    Load({pastEnd, tooLong, wraps});
    for (EntryIndex i = 0; i < 3; ++i) EXPECT_EQ(Extract(i, "FAR"), "Cannot read DAT file");
    EXPECT_TRUE(fs::is_empty(dest()));
}

TEST_F(EntryExtractorTest, OutputOverAnExistingFolderFailsAndLeavesNoTemporaryFile) {
    Load({Make("X\\NAME", "data")});
    fs::create_directory(dest() / "NAME");
    EXPECT_EQ(Extract(0), "Cannot write X\\NAME: Is a directory");
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"NAME", "<dir>"}}));
}

TEST_F(EntryExtractorTest, PreservedFolderBlockedByAFileFails) {
    Load({Make("SUB\\F", "data")});
    std::ofstream(dest() / "SUB") << "a file";
    EXPECT_EQ(Extract(0, "SUB"), "Cannot write SUB\\F: Not a directory");
    EXPECT_EQ(ReadFile(dest() / "SUB"), "a file");
}

// A worker keeps the folder it last wrote in open for the next entry. Whatever happens to that
// folder in between, the next entry goes nowhere else than a walk from the destination would
// take it, and never through a link.
TEST_F(EntryExtractorTest, AFolderChangedBetweenTwoEntriesIsWalkedAgain) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder, const fs::path& outside)> change;
        const char* outcome;
        std::map<std::string, std::string> dest;
    };
    const auto link = [](const fs::path& folder, const fs::path& outside) {
        fs::create_directory_symlink(outside, folder);
    };
    const std::vector<Case> cases = {
        {"RemovedAsAnotherEntryCleansUp",
         [](const fs::path& folder, const fs::path&) { fs::remove_all(folder); },
         "ok",
         {{"D", "<dir>"}, {"D/E", "<dir>"}, {"D/E/B", "b"}}},
        {"RemovedAndALinkPutThere",
         [&](const fs::path& folder, const fs::path& outside) {
             fs::remove_all(folder);
             link(folder, outside);
         },
         "Cannot write D\\E\\B: Not a directory",
         {{"D", "<dir>"}, {"D/E", "<link>"}}},
        {"RemovedAndAFilePutThere",
         [](const fs::path& folder, const fs::path&) {
             fs::remove_all(folder);
             std::ofstream(folder) << "file";
         },
         "Cannot write D\\E\\B: Not a directory",
         {{"D", "<dir>"}, {"D/E", "file"}}},
        {"DestinationRemovedAndMadeAgain",
         [](const fs::path& folder, const fs::path&) {
             const fs::path destination = folder.parent_path().parent_path();
             fs::remove_all(destination);
             fs::create_directory(destination);
         },
         "ok",
         {{"D", "<dir>"}, {"D/E", "<dir>"}, {"D/E/B", "b"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load({Make("D\\E\\A", "a"), Make("D\\E\\B", "b")});
        const fs::path outside = work / "outside";
        fs::create_directory(outside);
        ExtractTarget target{dest(), std::nullopt};
        target.ownFolders = true;
        EntryExtractor extractor(archive, table, target);
        ASSERT_EQ(TextOf(0, extractor.extract(0)), "ok");
        c.change(dest() / "D" / "E", outside);
        EXPECT_EQ(TextOf(1, extractor.extract(1)), c.outcome);
        const fs::path folder = dest() / "D" / "E";
        const bool linked = fs::is_symlink(folder);
        if (linked) fs::remove(folder);  // left as it was; a snapshot would read through it
        auto written = Snapshot(dest());
        if (linked) written["D/E"] = "<link>";
        written.erase("D/E/A");
        EXPECT_EQ(written, c.dest);
        EXPECT_TRUE(fs::is_empty(outside));
        fs::remove_all(dest());
        fs::remove_all(outside);
    }
}

// The folder held open moves away and a link takes its place: the entry still lands in the
// folder it was walked to, wherever that is now, and nothing goes through the link.
TEST_F(EntryExtractorTest, AFolderMovedAwayKeepsItsFilesAndTheLinkInItsPlaceIsNotFollowed) {
    Load({Make("D\\A", "a"), Make("D\\B", "b")});
    fs::create_directory(work / "outside");
    ExtractTarget target{dest(), std::nullopt};
    target.ownFolders = true;
    EntryExtractor extractor(archive, table, target);
    ASSERT_EQ(TextOf(0, extractor.extract(0)), "ok");
    fs::rename(dest() / "D", work / "moved");
    fs::create_directory_symlink(work / "outside", dest() / "D");
    EXPECT_EQ(TextOf(1, extractor.extract(1)), "ok");
    EXPECT_TRUE(fs::is_empty(work / "outside"));
    EXPECT_EQ(ReadFile(work / "moved" / "B"), "b");
}

TEST_F(EntryExtractorTest, ArchiveThatShrankAfterLoadingGivesAReadFailure) {
    std::string big(200 * 1024, 'q');
    Load({Make("A\\BIG", big), Make("A\\SMALL", "s")});
    fs::resize_file(archivePath, 100 * 1024);  // the second chunk is gone
    EXPECT_EQ(Extract(0), "Cannot read DAT file");
    EXPECT_TRUE(fs::is_empty(dest()));
}

}  // namespace
}  // namespace tarvix
