#include "archive/entry_table.h"

#include <gtest/gtest.h>

#include "archive/dat_archive.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::Make;

struct TableCase {
    const char* what;
    std::vector<datwriter::Entry> entries;
};

// More entries than the table's first slots, names of every shape the walk has to step over.
std::vector<datwriter::Entry> ManyEntries() {
    std::vector<datwriter::Entry> entries;
    for (std::size_t i = 0; i < EntryTable::kInitialSlots + 100; ++i) {
        entries.push_back(Make("D" + std::to_string(i % 37) + "\\F" + std::to_string(i), "x"));
    }
    return entries;
}

class FillEntryTableTest : public ::testing::TestWithParam<TableCase> {};

// The table filled without a tree is the one the folder index's walk fills.
TEST_P(FillEntryTableTest, MatchesTheFolderIndexWalk) {
    const test::TempDir work;
    DatArchive archive;
    ASSERT_TRUE(archive.load(work.write("a.dat", datwriter::BuildDat(GetParam().entries))).ok);
    EntryTable walked;
    FolderIndex folders;
    folders.BuildFolderTree(archive, walked);
    EntryTable filled;
    FillEntryTable(archive, filled);
    ASSERT_EQ(filled.slotCount(), walked.slotCount());
    for (EntryIndex i = 0; i < walked.slotCount(); ++i) EXPECT_EQ(filled[i], walked[i]) << i;
    EXPECT_EQ(filled[static_cast<EntryIndex>(archive.entryCount())], nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, FillEntryTableTest,
    ::testing::Values(TableCase{"empty", {}},
                      TableCase{"odd names",
                                {Make(""), Make(std::string("A\0HIDDEN", 8), "z"), Make("\\\\X\\"),
                                 Make("B")}},
                      TableCase{"more entries than the first slots", ManyEntries()}));

}  // namespace
}  // namespace tarvix
