#include "archive/folder_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

// A tree written out as "name(data)" lines, two spaces of indent per level, children in the
// order the tree shows them.
std::string Dump(const FolderIndex& index, NodeId id = FolderIndex::kRoot, int depth = 0) {
    std::string out;
    for (NodeId child : index.node(id).children) {
        const FolderNode& n = index.node(child);
        out += std::string(2 * depth, ' ') + std::string(n.name) + "(" +
               std::to_string(n.entryIndex) + ")\n";
        out += Dump(index, child, depth + 1);
    }
    return out;
}

std::vector<EntryIndex> Files(const FolderIndex& index, NodeId id) {
    const auto files = index.filesOf(id);
    return {files.begin(), files.end()};
}

class FolderIndexTest : public ::testing::Test {
protected:
    void Build(const std::vector<std::string>& names) {
        std::vector<datwriter::Entry> entries;
        for (const auto& name : names) entries.push_back(datwriter::Make(name, "x"));
        const auto result = archive.load(dir.write("t.dat", datwriter::BuildDat(entries)));
        ASSERT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
    }

    // The node reached by following `path`'s components from the top.
    NodeId Find(const std::vector<std::string>& path) const {
        NodeId id = FolderIndex::kRoot;
        for (const auto& name : path) {
            NodeId next = 0;
            for (NodeId child : folders.node(id).children) {
                if (folders.node(child).name == name) next = child;
            }
            if (next == 0) ADD_FAILURE() << "no node " << name;
            id = next;
        }
        return id;
    }

    test::TempDir dir;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

TEST_F(FolderIndexTest, NodesKeepTheDataOfTheEntryThatCreatedThem) {
    Build({"X\\Y\\a", "X\\b", "Z", "X\\Y\\c"});
    EXPECT_EQ(Dump(folders), "X(0)\n  Y(0)\nZ(2)\n");
    EXPECT_EQ(Files(folders, Find({"X", "Y"})), (std::vector<EntryIndex>{0, 3}));
    EXPECT_EQ(Files(folders, Find({"X"})), (std::vector<EntryIndex>{1}));
    EXPECT_EQ(Files(folders, Find({"Z"})), (std::vector<EntryIndex>{2}));
    EXPECT_EQ(folders.pathOf(Find({"X", "Y"})), "X\\Y");
}

TEST_F(FolderIndexTest, SiblingsKeepCreationOrderAndMatchByParentAndExactName) {
    Build({"B\\SUB\\1", "A\\SUB\\2", "B\\SUB\\3", "b\\4", "A\\sub\\5"});
    EXPECT_EQ(Dump(folders), "B(0)\n  SUB(0)\nA(1)\n  SUB(1)\n  sub(4)\nb(3)\n");
    EXPECT_EQ(Files(folders, Find({"B", "SUB"})), (std::vector<EntryIndex>{0, 2}));
    EXPECT_EQ(Files(folders, Find({"A", "SUB"})), (std::vector<EntryIndex>{1}));
}

TEST_F(FolderIndexTest, TopLevelFileSharesTheNodeOfAFolderOfItsName) {
    Build({"ART\\X.FRM", "ART", "README", "ART\\Y.FRM"});
    EXPECT_EQ(Dump(folders), "ART(0)\nREADME(2)\n");
    EXPECT_EQ(Files(folders, Find({"ART"})), (std::vector<EntryIndex>{0, 1, 3}));
    EXPECT_EQ(Files(folders, Find({"README"})), (std::vector<EntryIndex>{2}));
}

TEST_F(FolderIndexTest, EmptyComponentsBecomeNodesWithEmptyText) {
    Build({"A\\\\B\\f", "\\LEAD\\g", "TRAIL\\\\h"});
    EXPECT_EQ(Dump(folders), "A(0)\n  (0)\n    B(0)\n(1)\n  LEAD(1)\nTRAIL(2)\n  (2)\n");
    EXPECT_EQ(folders.pathOf(Find({"", "LEAD"})), "\\LEAD");
    EXPECT_EQ(Files(folders, Find({"", "LEAD"})), (std::vector<EntryIndex>{1}));
    EXPECT_EQ(Files(folders, Find({"TRAIL", ""})), (std::vector<EntryIndex>{2}));
}

TEST_F(FolderIndexTest, PathsOfAnyDepthAreInserted) {
    Build({"1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\file", "1\\2\\3\\4\\other"});
    const NodeId deepest = Find({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    EXPECT_EQ(folders.node(deepest).depth, 10u);
    EXPECT_EQ(folders.pathOf(deepest), "1\\2\\3\\4\\5\\6\\7\\8\\9\\10");
    EXPECT_EQ(Files(folders, deepest), (std::vector<EntryIndex>{0}));
    EXPECT_EQ(Files(folders, Find({"1", "2", "3", "4"})), (std::vector<EntryIndex>{1}));
    EXPECT_EQ(folders.nodeCount(), 11u);  // the root and one node per level
}

// Nodes are numbered as they are created, whichever depth they are at.
TEST_F(FolderIndexTest, NodesAreNumberedInCreationOrder) {
    Build({"A\\X\\f", "B\\X\\g", "A\\Y\\h", "C"});
    std::vector<std::string> paths;
    for (NodeId id = 1; id < folders.nodeCount(); ++id) paths.push_back(folders.pathOf(id));
    EXPECT_EQ(paths, (std::vector<std::string>{"A", "A\\X", "B", "B\\X", "A\\Y", "C"}));
}

// The path hash is keyed afresh for every index; the tree must come out the same whatever the
// key, including one that makes every prefix hash of a deep path land near the others.
TEST_F(FolderIndexTest, TheTreeDoesNotDependOnTheHashKey) {
    Build({"A\\B\\C\\f", "A\\B\\g", "A\\BB\\h", "Z", "A\\B\\C\\D\\i", "A\\B\\j"});
    const std::string expected = Dump(folders);
    for (const HashKey key :
         {HashKey{0, 0}, HashKey{~0ull, 1}, HashKey{0x9E3779B97F4A7C15ull, 7}}) {
        FolderIndex keyed(key);
        EntryTable keyedTable;
        keyed.BuildFolderTree(archive, keyedTable);
        EXPECT_EQ(Dump(keyed), expected) << key.k0;
        EXPECT_EQ(keyed.nodeCount(), folders.nodeCount());
    }
}

// A folder with everything below it, and nothing of a folder whose name only begins alike.
TEST_F(FolderIndexTest, EntriesBelowAFolderInDirectoryOrder) {
    Build({"ART\\CRITTERS\\A", "ART\\CRITTERSX\\B", "ART\\CRITTERS\\SUB\\C", "ART",
           "ART\\CRITTERS\\D", "TEXT\\E"});
    EXPECT_EQ(folders.entriesBelow(Find({"ART", "CRITTERS"})), (std::vector<EntryIndex>{0, 2, 4}));
    EXPECT_EQ(folders.entriesBelow(Find({"ART"})), (std::vector<EntryIndex>{0, 1, 2, 3, 4}));
    EXPECT_EQ(folders.entriesBelow(FolderIndex::kRoot),
              (std::vector<EntryIndex>{0, 1, 2, 3, 4, 5}));
}

TEST_F(FolderIndexTest, EntryTableGrowsPast25000WithANullAfterTheLastEntry) {
    std::vector<std::string> names;
    for (int i = 0; i < 30000; ++i) {
        names.push_back(
            std::string("D").append(std::to_string(i % 7)).append("\\F").append(std::to_string(i)));
    }
    Build(names);
    EXPECT_GE(table.slotCount(), 30001u);
    EXPECT_NE(table[29999], nullptr);
    EXPECT_EQ(table[30000], nullptr);
    EXPECT_EQ(GetEntryInfo(table, 29999).name, "D4\\F29999");
    EXPECT_EQ(Files(folders, Find({"D0"})).size(), 4286u);
}

// From an entry to the node that lists it, whatever the shape of its folder path; only paths of
// nodes are found, exactly as they are written.
TEST_F(FolderIndexTest, FolderOfAnEntrysFolderPathIsTheNodeThatListsIt) {
    const std::vector<std::string> names = {
        "ART\\INTRFACE\\IFACE.FRM", "X", "A\\\\B\\F", "\\TOP", "ART\\F", "X\\Y",
        "ART\\INTRFACE\\B.FRM"};
    Build(names);
    for (EntryIndex i = 0; i < names.size(); ++i) {
        const std::string_view folder = SplitFolderAndFile(names[i]).folder;
        const NodeId node = folders.folderOf(folder);
        ASSERT_NE(node, FolderIndex::kRoot) << names[i];
        EXPECT_EQ(folders.pathOf(node), folder);
        const std::vector<EntryIndex> files = Files(folders, node);
        EXPECT_NE(std::find(files.begin(), files.end(), i), files.end()) << names[i];
    }
    EXPECT_EQ(folders.folderOf("ART"), Find({"ART"}));
    for (const char* missing : {"ART\\INTRFAC", "art\\intrface", "ART\\INTRFACE\\", "Y", "NOPE"}) {
        EXPECT_EQ(folders.folderOf(missing), FolderIndex::kRoot) << missing;
    }
}

TEST_F(FolderIndexTest, EmptyArchiveGivesEmptyTreeAndANullFirstSlot) {
    Build({});
    EXPECT_EQ(Dump(folders), "");
    EXPECT_EQ(table.slotCount(), EntryTable::kInitialSlots);
    EXPECT_EQ(table[0], nullptr);
    EXPECT_TRUE(folders.filesOf(FolderIndex::kRoot).empty());
}

}  // namespace
}  // namespace tarvix
