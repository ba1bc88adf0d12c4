// The window's folder tree of a stack, made from the union's folders, against the tree the walk
// over the same entry list makes: they must be the same node for node, entry for entry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/dat_entry.h"
#include "archive/folder_index.h"
#include "archive/source_stack.h"
#include "archive/stack_entry_list.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;

struct StackTreeCase {
    const char* title;
    std::vector<std::vector<std::string>> sources;  // each an archive of these names, in order
};

const StackTreeCase kStackTreeCases[] = {
    {"OneFolderInThreeSpellings",
     {{"ART\\CRITTERS\\A.FRM"}, {"art\\critters\\b.frm", "Art\\Items\\c.frm"}, {"art\\z.frm"}}},
    {"FilesAroundASubfolder", {{"art\\a.frm", "art\\critters\\x.frm", "art\\z.frm", "b.txt"}}},
    {"FolderOrderUnlikeFirstEntryOrder", {{"a\\x", "a b\\x", "a\\b\\y", "a-b\\x"}}},
    {"TopLevelFilesNamedAsFolders", {{"ART", "art\\x.frm", "readme.txt"}, {"Art\\y.frm", "ART"}}},
    {"EmptyComponents", {{"\\ART\\x.frm", "\\X", "a\\\\b\\x", "a\\"}, {"\\art\\y.frm", "\\"}}},
    {"FileAndFolderOfOnePath",
     {{"text\\english"}, {"TEXT\\ENGLISH\\game.msg", "text\\english\\dialog\\a.msg"}}},
    {"NothingAtAll", {{}}},
};

class StackTreeTest : public ::testing::TestWithParam<StackTreeCase> {};

TEST_P(StackTreeTest, MatchesTheWalkOverTheSameList) {
    test::TempDir dir;
    SourceStack stack;
    int n = 0;
    for (const std::vector<std::string>& names : GetParam().sources) {
        std::vector<datwriter::Entry> entries;
        entries.reserve(names.size());
        for (const std::string& name : names) entries.push_back(Make(name, name));
        const auto path = dir.write("s" + std::to_string(n++) + ".dat", BuildDat(entries));
        stack.add(StackSource::Open(path, path.string()).source);
    }
    stack.build();
    LaidOutEntries list = StackEntryList(stack);
    DatArchive shown;
    shown.loadEntryList(dir.path(), std::move(list.bytes), list.size, list.entries);

    EntryTable walkedTable, madeTable;
    FolderIndex walked, made;
    walked.BuildFolderTree(shown, walkedTable);
    made.BuildStackTree(shown, stack, madeTable);

    ASSERT_EQ(made.nodeCount(), walked.nodeCount());
    for (NodeId id = 0; id < walked.nodeCount(); ++id) {
        const FolderNode& a = walked.node(id);
        const FolderNode& b = made.node(id);
        SCOPED_TRACE(walked.pathOf(id));
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.parent, a.parent);
        EXPECT_EQ(b.entryIndex, a.entryIndex);
        EXPECT_EQ(b.depth, a.depth);
        EXPECT_EQ(b.row, a.row);
        EXPECT_EQ(std::vector<NodeId>(b.children.begin(), b.children.end()),
                  std::vector<NodeId>(a.children.begin(), a.children.end()));
        const auto filesA = walked.filesOf(id);
        const auto filesB = made.filesOf(id);
        EXPECT_EQ(std::vector<EntryIndex>(filesB.begin(), filesB.end()),
                  std::vector<EntryIndex>(filesA.begin(), filesA.end()));
        if (id != FolderIndex::kRoot) {
            EXPECT_EQ(made.folderOf(walked.pathOf(id)), id);
        }
    }
    ASSERT_EQ(madeTable.slotCount(), walkedTable.slotCount());
    for (EntryIndex i = 0; i < walkedTable.slotCount(); ++i)
        EXPECT_EQ(madeTable[i], walkedTable[i]);
}

INSTANTIATE_TEST_SUITE_P(Stacks, StackTreeTest, ::testing::ValuesIn(kStackTreeCases),
                         [](const auto& info) { return std::string(info.param.title); });

struct RecordCase {
    const char* title;
    std::string archive;  // the one source's bytes
};

datwriter::Entry PackedEntry(std::string name) {
    datwriter::Entry entry = Make(std::move(name), datwriter::Zlib("packed content"));
    entry.type = 1;
    entry.realSize = 14;
    return entry;
}

const RecordCase kRecordCases[] = {
    {"Fallout2StoredAndPacked", BuildDat({Make("a\\stored", "1234"), PackedEntry("a\\packed")})},
    {"Fallout2UnknownType",
     [] {
         datwriter::Entry odd = Make("odd", "xyz");
         odd.type = 7;
         return BuildDat({odd});
     }()},
    {"Fallout1StoredAndPacked",
     datwriter::BuildDat1({{"ART",
                            {datwriter::Dat1Stored("S.FRM", "stored bytes"),
                             datwriter::Dat1Packed("P.FRM", std::string(300, 'p'))}}})},
};

class StackRecordTest : public ::testing::TestWithParam<RecordCase> {};

// Each record of the list says what the winning copy's own record says of its sizes and
// whether it is packed.
TEST_P(StackRecordTest, RecordsCarryTheWinnersSizesAndPacking) {
    test::TempDir dir;
    SourceStack stack;
    const auto path = dir.write("one.dat", GetParam().archive);
    stack.add(StackSource::Open(path, path.string()).source);
    stack.build();
    ASSERT_FALSE(stack.entries().empty());
    LaidOutEntries list = StackEntryList(stack);
    DatArchive shown;
    shown.loadEntryList(dir.path(), std::move(list.bytes), list.size, list.entries);
    EntryTable table;
    FolderIndex folders;
    folders.BuildStackTree(shown, stack, table);
    for (EntryIndex i = 0; i < stack.entries().size(); ++i) {
        const StackEntry& entry = stack.entries()[i];
        const EntryInfo winner = GetEntryInfo(stack.source(entry.source).table(), entry.index);
        const EntryInfo record = GetEntryInfo(table, i);
        SCOPED_TRACE(winner.name);
        EXPECT_EQ(record.realSize, winner.realSize);
        EXPECT_EQ(record.storedSize, winner.storedSize);
        EXPECT_EQ(record.packing != PackingKind::Stored, winner.packing != PackingKind::Stored);
        EXPECT_EQ(GetEntryPacking(stack.source(entry.source).table(), entry.index), winner.packing);
    }
}

INSTANTIATE_TEST_SUITE_P(Records, StackRecordTest, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.title); });

// An entry list that is not the stack's leaves the tree empty rather than reading past the
// stack's entries.
TEST(StackTree, ListOfAnotherStackLeavesTheTreeEmpty) {
    test::TempDir dir;
    SourceStack stack;
    const auto path = dir.write("one.dat", BuildDat({Make("a\\x"), Make("b\\y")}));
    stack.add(StackSource::Open(path, path.string()).source);
    stack.build();
    SourceStack other;
    LaidOutEntries list = StackEntryList(other);
    DatArchive shown;
    shown.loadEntryList(dir.path(), std::move(list.bytes), list.size, 1);
    EntryTable table;
    FolderIndex folders;
    folders.BuildStackTree(shown, stack, table);
    EXPECT_EQ(folders.nodeCount(), 1u);
    EXPECT_EQ(table[0], nullptr);
}

}  // namespace
}  // namespace tarvix
