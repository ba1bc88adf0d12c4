#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "archive/cp1252.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "extract/entry_check.h"
#include "extract/entry_content.h"
#include "extract/entry_extractor.h"
#include "extract/entry_outcome.h"
#include "lzss_encoder.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using datwriter::BlockHeader;
using datwriter::LzssBlocks;
using datwriter::LzssEncode;

std::string H(int n) {
    return BlockHeader(n);
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Text(std::size_t size) {
    std::string text;
    for (std::uint32_t i = 7; text.size() < size; i = i * 1103515245u + 12345u) {
        text += std::to_string(i % 1000) + ((i >> 9) % 3 ? " " : "\n");
    }
    return text.substr(0, size);
}

struct UnpackCase {
    const char* what;
    std::uint32_t attributes;
    std::string packed;
    std::uint32_t size;
    std::optional<std::string> content;  // nothing: "Packed data is damaged"
};

const std::string kLiterals = std::string("\xFF") + "ABCDEFGH";  // decodes to ABCDEFGH
const std::string kBig = Text(300000);
// Both readings of the first header (0x8010: 16 bytes, or 32752) reach the end: under the low
// bits a second stored block (0xFFDE: 32734 bytes) follows; under the magnitude that header is
// part of the first block's bytes.
const std::string kBothFit = H(0x8010) + std::string(16, 'a') + H(0xFFDE) + std::string(32734, 'b');

std::vector<UnpackCase> Cases() {
    return {
        {"0x10: one stream without headers", 0x10, kLiterals, 8, "ABCDEFGH"},
        {"0: counts as 0x10", 0, std::string("\x01x\xEE\xF2", 4), 6, "xxxxxx"},
        {"0x10 ending inside a match", 0x10, kLiterals + std::string(1, '\0') + "\x01", 9,
         std::nullopt},
        {"0x40: one LZSS block", 0x40, H(9) + kLiterals, 8, "ABCDEFGH"},
        {"0x40: a fresh dictionary per block", 0x40,
         H(4) + std::string("\x01x\xEE\xF2", 4) + H(3) + std::string("\x00\x00\x00", 3), 9,
         "xxxxxx   "},
        {"a block ending right after a flag byte", 0x40, H(10) + kLiterals + "\xFF", 8, "ABCDEFGH"},
        {"a block ending inside a match", 0x40, H(2) + std::string("\x00\x00", 2), 3, std::nullopt},
        {"stored block, the game's low 15 bits", 0x40, H(9) + kLiterals + H(0x8003) + "xyz", 11,
         "ABCDEFGHxyz"},
        {"stored block, the magnitude", 0x40, H(-3) + "xyz" + H(9) + kLiterals, 11, "xyzABCDEFGH"},
        {"both readings fit: the game's gives Size", 0x40, kBothFit, 16 + 32734,
         std::string(16, 'a') + std::string(32734, 'b')},
        {"both readings fit: only the magnitude gives Size", 0x40, kBothFit, 2 + 16 + 32734,
         kBothFit.substr(2)},
        {"both readings fit, neither gives Size", 0x40, kBothFit, 5, std::nullopt},
        {"blocks that only work by mixing the readings", 0x40, H(0x8003) + "xyz" + H(-3) + "abc", 6,
         std::nullopt},
        {"a 0 header at the end", 0x40, H(9) + kLiterals + H(0), 8, "ABCDEFGH"},
        {"bytes after a 0 header", 0x40, H(9) + kLiterals + H(0) + "x", 8, std::nullopt},
        {"a block header past the end", 0x40, H(9) + kLiterals + "\x01", 8, std::nullopt},
        {"a block longer than the packed bytes", 0x40, H(40) + kLiterals, 8, std::nullopt},
        {"Size one short: stops", 0x40, H(9) + kLiterals, 7, std::nullopt},
        {"Size one long", 0x40, H(9) + kLiterals, 9, std::nullopt},
        {"a bomb far past Size", 0x40,
         H(33) + std::string(1, 0) + std::string(16, '\x0F') + std::string(1, 0) +
             std::string(14, '\x0F'),
         10, std::nullopt},
        {"no packed bytes, Size 0", 0x40, "", 0, ""},
        {"large, in blocks, read a chunk at a time", 0x40, LzssBlocks(kBig), 300000, kBig},
        {"large, stored blocks by the magnitude", 0x40,
         LzssBlocks(kBig,
                    {.blockContent = 30000, .storeIncompressible = true, .magnitudeHeaders = true}),
         300000, kBig},
        {"large, one stream", 0x10, LzssEncode(kBig), 300000, kBig},
    };
}

class Dat1Unpacking : public ::testing::Test {
protected:
    void Load(const datwriter::Dat1File& file) {
        const auto result =
            archive.load(work.write("in.dat", datwriter::BuildDat1({{"D", {file}}})));
        ASSERT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
    }
    std::string Extract(bool unpack) {
        fs::remove_all(out());
        fs::create_directories(out());
        return OutcomeText(
            ExtractEntry(archive, table, 0, ExtractTarget{out(), std::nullopt, unpack}),
            Cp1252ToUtf8(EntryName(table[0])));
    }
    fs::path out() const { return work / "out"; }

    test::TempDir work;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

TEST_F(Dat1Unpacking, ExtractionCheckAndViewerAgreeOnEveryCase) {
    for (const UnpackCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        datwriter::Dat1File file = datwriter::Dat1Stored("F.TXT", c.packed);
        file.attributes = c.attributes;
        file.size = c.size;
        Load(file);
        const std::string outcome = Extract(true);
        const EntryCheck check = CheckEntry(archive, table, 0);
        const EntryContent content = LoadEntryContent(archive, table, 0);
        if (c.content) {
            EXPECT_EQ(outcome, kOutcomeOk);
            EXPECT_EQ(ReadAll(out() / "F.TXT"), *c.content);
            EXPECT_TRUE(check.problems.empty());
            EXPECT_EQ(content.status, EntryContent::Status::Ok);
            EXPECT_EQ(std::string(content.bytes.begin(), content.bytes.end()), *c.content);
        } else {
            EXPECT_EQ(outcome, kOutcomeDamaged);
            EXPECT_TRUE(fs::is_empty(out()));
            EXPECT_EQ(check.problems, std::vector<std::string>{kOutcomeDamaged});
            EXPECT_EQ(content.status, EntryContent::Status::Damaged);
            EXPECT_LE(content.bytes.size(), c.size);
        }
        // Without unpacking, the stored bytes as they are, under the entry's own name.
        EXPECT_EQ(Extract(false), kOutcomeOk);
        EXPECT_EQ(ReadAll(out() / "F.TXT"), c.packed);
    }
}

struct PackingCase {
    const char* what;
    std::uint32_t attributes;
    std::string outcome;  // of unpacking "abc", stored with Size 3 and PackedSize 0
};

TEST_F(Dat1Unpacking, AttributesAsTheGameReadsThem) {
    const PackingCase cases[] = {
        {"0x20 stored", 0x20, kOutcomeOk},
        {"only the bits 0xF0 matter", 0x2F, kOutcomeOk},
        {"0x30 unknown", 0x30, "Unknown packing (Type 48)"},
        {"0x80 unknown", 0x80, "Unknown packing (Type 128)"},
        {"0x05 unknown", 0x05, "Unknown packing (Type 5)"},
    };
    for (const PackingCase& c : cases) {
        SCOPED_TRACE(c.what);
        datwriter::Dat1File file = datwriter::Dat1Stored("F.TXT", "abc");
        file.attributes = c.attributes;
        file.packedSize = 0;
        Load(file);
        EXPECT_EQ(Extract(true), c.outcome);
        EXPECT_EQ(Extract(false), kOutcomeOk);  // raw: the Size bytes when PackedSize is 0
        EXPECT_EQ(ReadAll(out() / "F.TXT"), "abc");
    }
}

TEST_F(Dat1Unpacking, StoredBytesBeginning78DAKeepTheirNameWithoutUnpacking) {
    Load(datwriter::Dat1Stored("Z.BIN", datwriter::Zlib("hello")));
    EXPECT_EQ(Extract(false), kOutcomeOk);
    EXPECT_TRUE(fs::exists(out() / "Z.BIN"));
    EXPECT_FALSE(fs::exists(out() / "Z.BIN.gz"));
    EXPECT_TRUE(CheckEntry(archive, table, 0).problems.empty());
}

}  // namespace
}  // namespace tarvix
