#include "archive/dat1_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "lzss_encoder.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::BuildDat1;
using datwriter::Dat1Directory;
using datwriter::Dat1File;
using datwriter::Dat1Layout;
using datwriter::Dat1Packed;
using datwriter::Dat1Stored;

// What one entry should read as: path, raw Attributes, packing, Size, stored length.
struct Expected {
    std::string name;
    std::uint32_t type;
    PackingKind packing;
    std::uint32_t realSize;
    std::uint32_t storedSize;
};

struct LoadCase {
    const char* what;
    std::string bytes;
    std::vector<Expected> entries;       // when it loads as DAT1
    std::optional<std::string> refusal;  // when refused: the message
};

Dat1File WithAttributes(Dat1File f, std::uint32_t attributes, std::optional<std::uint32_t> packed) {
    f.attributes = attributes;
    f.packedSize = packed;
    return f;
}

// Two empty files at offset 0, so that the file ends exactly where the last record does.
std::string EndingAtTheLastRecord(const std::string& lastName, std::size_t cut = 0) {
    Dat1File first = Dat1Stored("A", "");
    Dat1File last = Dat1Stored(lastName, "");
    first.offset = last.offset = 0;
    const std::string bytes = BuildDat1({{"D", {first, last}}});
    return bytes.substr(0, bytes.size() - cut);
}

// Directories with empty names and no files: each takes 17 bytes, the fewest a directory can.
std::vector<Dat1Directory> SmallestDirectories(std::size_t count) {
    return std::vector<Dat1Directory>(count, Dat1Directory{"", {}});
}

std::vector<LoadCase> Cases() {
    const std::string sample = BuildDat1(
        {{".", {Dat1Stored("README.TXT", "hello")}},
         {"ART\\CRITTERS", {Dat1Packed("HMJMPS.FRM", std::string(100, 'x')), Dat1Stored("A", "")}},
         {"TEXT", {WithAttributes(Dat1Stored("Q.BIN", "abcd"), 0x30, 2)}}});
    const std::string overrunCount = BuildDat1({{"D", {Dat1Stored("A", "abc")}, 2}});
    const std::string longName(255, 'N');
    return {
        {"directories, the top one '.', in record order",
         sample,
         {{"README.TXT", 0x20, PackingKind::Stored, 5, 5},
          {"ART\\CRITTERS\\HMJMPS.FRM", 0x40, PackingKind::LzssBlocks, 100,
           static_cast<std::uint32_t>(datwriter::LzssBlocks(std::string(100, 'x')).size())},
          {"ART\\CRITTERS\\A", 0x20, PackingKind::Stored, 0, 0},
          {"TEXT\\Q.BIN", 0x30, PackingKind::Unknown, 4, 2}},
         std::nullopt},
        {"an unknown packing with PackedSize 0 stores Size bytes",
         BuildDat1({{"D", {WithAttributes(Dat1Stored("A", "abc"), 0x80, 0)}}}),
         {{"D\\A", 0x80, PackingKind::Unknown, 3, 3}},
         std::nullopt},
        {"a directory without files", BuildDat1({{"EMPTY", {}}}), {}, std::nullopt},
        {"no directory at all", BuildDat1({}), {}, messages::kSizeMismatch},
        {"DirectoryCount past the end",
         BuildDat1({{"D", {}}}, Dat1Layout{.directoryCount = 99}),
         {},
         messages::kSizeMismatch},
        {"a DirectoryCount of 200,000,000 in a small file",
         BuildDat1({{"D", {}}}, Dat1Layout{.directoryCount = 200000000}),
         {},
         messages::kSizeMismatch},
        {"directories of 17 bytes each, the fewest possible",
         BuildDat1(SmallestDirectories(5)),
         {},
         std::nullopt},
        {"one directory more than 17 bytes each could hold",
         BuildDat1(SmallestDirectories(5), Dat1Layout{.directoryCount = 6}),
         {},
         messages::kSizeMismatch},
        {"FileCount past the end", overrunCount, {}, messages::kSizeMismatch},
        {"ending exactly at the last record",
         EndingAtTheLastRecord("B"),
         {{"D\\A", 0x20, PackingKind::Stored, 0, 0}, {"D\\B", 0x20, PackingKind::Stored, 0, 0}},
         std::nullopt},
        {"a 255-byte name ending exactly at the last record",
         EndingAtTheLastRecord(longName),
         {{"D\\A", 0x20, PackingKind::Stored, 0, 0},
          {"D\\" + longName, 0x20, PackingKind::Stored, 0, 0}},
         std::nullopt},
        {"the last record's PackedSize cut by a byte",
         EndingAtTheLastRecord("B", 1),
         {},
         messages::kSizeMismatch},
        {"the last record's PackedSize missing",
         EndingAtTheLastRecord("B", 4),
         {},
         messages::kSizeMismatch},
        {"only the last record's name left",
         EndingAtTheLastRecord("B", 16),
         {},
         messages::kSizeMismatch},
        {"only the last record's length byte left",
         EndingAtTheLastRecord("B", 17),
         {},
         messages::kSizeMismatch},
        {"the last record missing", EndingAtTheLastRecord("B", 18), {}, messages::kSizeMismatch},
        {"a 255-byte name, the last record cut by a byte",
         EndingAtTheLastRecord(longName, 1),
         {},
         messages::kSizeMismatch},
        {"a 255-byte name, its Offset cut in half",
         EndingAtTheLastRecord(longName, 14),
         {},
         messages::kSizeMismatch},
        {"a 255-byte name cut by a byte",
         EndingAtTheLastRecord(longName, 17),
         {},
         messages::kSizeMismatch},
        {"a 255-byte name, only its length byte left",
         EndingAtTheLastRecord(longName, 271),
         {},
         messages::kSizeMismatch},
        {"a 255-byte name, the last record missing",
         EndingAtTheLastRecord(longName, 272),
         {},
         messages::kSizeMismatch},
        {"truncated in the last record", sample.substr(0, 200), {}, messages::kSizeMismatch},
        {"cut before the header ends", sample.substr(0, 10), {}, messages::kSizeMismatch},
        {"shorter than a DAT2 trailer", sample.substr(0, 5), {}, messages::kTooShort},
        {"stored bytes past the end",
         BuildDat1({{"D", {Dat1Stored("A", "abc")}}}).substr(0, 49),
         {},
         messages::kSizeMismatch},
        {"an offset past the end",
         [] {
             Dat1File f = Dat1Stored("A", "abc");
             f.offset = 0xFFFFFFF0;
             return BuildDat1({{"D", {f}}});
         }(),
         {},
         messages::kSizeMismatch},
        {"PackedSize past the end of a packed entry",
         BuildDat1({{"D", {WithAttributes(Dat1Stored("A", "abc"), 0x40, 4)}}}),
         {},
         messages::kSizeMismatch},
        {"a name length past the end",
         [] {
             Dat1File f = Dat1Stored("A", "");
             f.nameLength = 200;
             return BuildDat1({{"D", {f}}});
         }(),
         {},
         messages::kSizeMismatch},
    };
}

TEST(Dat1Reader, LoadsCompletelyOrRefusesWithTheDat2Message) {
    for (const LoadCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        DatArchive archive;
        const auto result = archive.load(dir.write("a.dat", c.bytes));
        if (c.refusal) {
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.message, *c.refusal);
            EXPECT_FALSE(archive.isLoaded());
            EXPECT_TRUE(archive.dirBlock().empty());
            continue;
        }
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(archive.format(), ArchiveFormat::Dat1);
        EXPECT_EQ(archive.dataSize(), c.bytes.size());
        ASSERT_EQ(archive.entryCount(), c.entries.size());
        EntryTable table;
        FolderIndex folders;
        folders.BuildFolderTree(archive, table);
        for (EntryIndex i = 0; i < c.entries.size(); ++i) {
            const Expected& e = c.entries[i];
            const EntryInfo info = GetEntryInfo(table, i);
            EXPECT_EQ(info.name, e.name);
            EXPECT_EQ(info.type, e.type);
            EXPECT_EQ(info.packing, e.packing);
            EXPECT_EQ(info.realSize, e.realSize);
            EXPECT_EQ(info.storedSize, e.storedSize);
            EXPECT_EQ(GetEntrySizes(table, i).packedSize, e.storedSize);
            EXPECT_EQ(info.format, ArchiveFormat::Dat1);
        }
    }
}

// Directory parts many times the reader's window, with names of every length, so that records
// and names fall across the window's edges at every offset; cut inside it, they are refused.
struct LongCase {
    const char* what;
    std::size_t directories;
    std::size_t files;                // spread over the directories
    std::optional<std::size_t> keep;  // the file cut to its first bytes
};

const LongCase kLongCases[] = {
    {"3,000 records in 40 directories", 40, 3000, std::nullopt},
    {"one directory of 2,000 records", 1, 2000, std::nullopt},
    {"600 directories, some of them empty", 600, 500, std::nullopt},
    {"cut just past the first window", 40, 3000, 65537},
    {"cut far into the records", 40, 3000, 300000},
    {"cut in the last record", 1, 2000, 2000 * 145},
};

std::string NameOfLength(std::size_t length, std::size_t seed) {
    std::string name;
    for (std::size_t i = 0; i < length; ++i) name += static_cast<char>('A' + (seed + i) % 26);
    return name;
}

TEST(Dat1Reader, DirectoryPartsLongerThanTheReadWindow) {
    for (const LongCase& c : kLongCases) {
        SCOPED_TRACE(c.what);
        std::vector<Dat1Directory> directories(c.directories);
        for (std::size_t d = 0; d < c.directories; ++d) {
            directories[d].name = "D" + std::to_string(d) + "\\" + NameOfLength(d * 53 % 200, d);
        }
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < c.files; ++i) {
            Dat1Directory& d = directories[i * c.directories / c.files];
            const std::string name = NameOfLength(i * 37 % 256, i);
            d.files.push_back(Dat1Stored(name, std::to_string(i)));
            paths.push_back(d.name + "\\" + name);
        }
        const std::string bytes = BuildDat1(directories);
        ASSERT_GT(bytes.size(), 2 * 65536u);
        test::TempDir dir;
        DatArchive archive;
        const auto result =
            archive.load(dir.write("a.dat", c.keep ? bytes.substr(0, *c.keep) : bytes));
        if (c.keep) {
            EXPECT_FALSE(result.ok);
            EXPECT_TRUE(archive.dirBlock().empty());
            continue;
        }
        ASSERT_TRUE(result.ok) << result.message;
        ASSERT_EQ(archive.entryCount(), c.files);
        EntryTable table;
        FillEntryTable(archive, table);
        for (EntryIndex i = 0; i < c.files; ++i) {
            const EntryInfo info = GetEntryInfo(table, i);
            ASSERT_EQ(info.name, paths[i]);
            ASSERT_EQ(info.realSize, std::to_string(i).size());
        }
    }
}

TEST(Dat1Reader, TheFolderTreeAndTheFlatTableSeeTheSameEntries) {
    test::TempDir dir;
    DatArchive archive;
    ASSERT_TRUE(archive
                    .load(dir.write(
                        "a.dat", BuildDat1({{"A\\B", {Dat1Stored("X", "1"), Dat1Stored("Y", "2")}},
                                            {".", {Dat1Stored("TOP", "3")}}})))
                    .ok);
    EntryTable walked;
    FolderIndex folders;
    folders.BuildFolderTree(archive, walked);
    EntryTable flat;
    FillEntryTable(archive, flat);
    for (EntryIndex i = 0; i < 3; ++i) {
        EXPECT_EQ(GetEntryInfo(walked, i).name, GetEntryInfo(flat, i).name);
    }
    EXPECT_EQ(GetEntryInfo(flat, 2).name, "TOP");
}

TEST(Dat1Reader, ADat2FileIsStillReadAsDat2) {
    test::TempDir dir;
    DatArchive archive;
    ASSERT_TRUE(
        archive.load(dir.write("a.dat", datwriter::BuildDat({datwriter::Make("A", "x")}))).ok);
    EXPECT_EQ(archive.format(), ArchiveFormat::Dat2);
}

}  // namespace
}  // namespace tarvix
