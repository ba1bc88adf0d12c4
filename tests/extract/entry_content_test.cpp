#include "extract/entry_content.h"

#include <zlib.h>

#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

using datwriter::Make;
using Status = EntryContent::Status;

std::string Zlib(const std::string& text) {
    return datwriter::Zlib(text, 9);
}

// Text that does not repeat, so its zlib stream is long enough to cut in several places.
std::string Text(std::size_t size) {
    std::string text;
    for (std::uint32_t i = 0; text.size() < size; i = i * 1103515245u + 12345u)
        text += std::to_string(i) + (i % 7 ? ' ' : '\n');
    return text.substr(0, size);
}

datwriter::Entry Packed(const std::string& stored, std::uint32_t realSize, std::uint8_t type = 1) {
    datwriter::Entry e = Make("A\\F.TXT", stored);
    e.realSize = realSize;
    e.type = type;
    return e;
}

struct ContentCase {
    const char* what;
    datwriter::Entry entry;
    Status status;
    std::string bytes;  // the whole content, or what comes before the damage
    std::uint32_t limit = kContentLimitBytes;
};

const std::string kText = Text(200000);
const std::string kStream = Zlib(kText);

datwriter::Entry WithPacked(datwriter::Entry e, std::uint32_t packed) {
    e.packedSize = packed;
    return e;
}
datwriter::Entry AtOffset(datwriter::Entry e, std::uint32_t offset) {
    e.offset = offset;
    return e;
}

std::vector<ContentCase> Cases() {
    return {
        {"stored bytes as they are", Make("A\\F.BIN", std::string("ab\0cd", 5)), Status::Ok,
         std::string("ab\0cd", 5)},
        {"stored, empty", Make("A\\E.TXT", ""), Status::Ok, ""},
        {"zlib, exact", Packed(kStream, 200000), Status::Ok, kText},
        {"zlib, RealSize one short: stops one byte past it", Packed(kStream, 199999),
         Status::Damaged, kText.substr(0, 199999)},
        {"zlib, RealSize one long: the stream ends early", Packed(kStream, 200001), Status::Damaged,
         kText},
        {"zlib, bytes after the stream", Packed(kStream + "xyz", 200000), Status::Damaged, kText},
        {"zlib cut short: what came before the cut",
         Packed(kStream.substr(0, kStream.size() / 2), 200000), Status::Damaged, "<prefix>"},
        {"not a zlib stream", Packed("plain text", 10), Status::Damaged, ""},
        {"zlib, no stored bytes at all", Packed("", 10), Status::Damaged, ""},
        {"unknown Type", Packed(kStream, 200000, 7), Status::UnknownPacking, ""},
        {"zlib above the limit, by RealSize", Packed(kStream, 200000), Status::TooLarge, "",
         199999},
        {"stored above the limit, by PackedSize", Make("A\\B.BIN", std::string(101, 'x')),
         Status::TooLarge, "", 100},
        {"RealSize 4 GiB: refused before any allocation", Packed(kStream, 0xFFFFFFFFu),
         Status::TooLarge, ""},
        {"PackedSize past the end of the archive", WithPacked(Make("A\\B.BIN", "abc"), 1u << 20),
         Status::CannotRead, ""},
        {"Offset wraps 32 bits", AtOffset(Make("A\\B.BIN", "abc"), 0xFFFFFFFEu), Status::CannotRead,
         ""},
    };
}

TEST(EntryContentTest, LoadsByTheUnpackingRules) {
    for (const ContentCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        test::TempDir work;
        DatArchive archive;
        ASSERT_TRUE(archive.load(work.write("in.dat", datwriter::BuildDat({c.entry}))).ok);
        EntryTable table;
        FolderIndex folders;
        folders.BuildFolderTree(archive, table);
        const EntryContent content = LoadEntryContent(archive, table, 0, c.limit);
        EXPECT_EQ(content.status, c.status);
        const std::string got(content.bytes.begin(), content.bytes.end());
        if (c.bytes == "<prefix>") {
            EXPECT_FALSE(got.empty());
            EXPECT_LT(got.size(), kText.size());
            EXPECT_EQ(got, kText.substr(0, got.size()));
        } else {
            EXPECT_EQ(got, c.bytes);
        }
    }
}

TEST(EntryContentStatusTest, SaysWhatWentWrongInTheExtractionsWords) {
    EXPECT_EQ(DescribeContentStatus(Status::Ok, 0), "");
    EXPECT_EQ(DescribeContentStatus(Status::Damaged, 1), "Packed data is damaged");
    EXPECT_EQ(DescribeContentStatus(Status::UnknownPacking, 7), "Unknown packing (Type 7)");
    EXPECT_EQ(DescribeContentStatus(Status::CannotRead, 0), "Cannot read DAT file");
    EXPECT_EQ(DescribeContentStatus(Status::TooLarge, 1),
              "Larger than 64 MiB unpacked: not loaded");
}

}  // namespace
}  // namespace tarvix
