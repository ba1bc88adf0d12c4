#include "ui/file_list_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// The list sorts by a once-folded copy of each name; its order must be exactly that of
// QString::compare without regard to case, ties by exact text, then directory order.
TEST(FileListModelTest, OrderMatchesCaseInsensitiveQStringCompareForEveryCharacter) {
    std::vector<std::string> names;
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == '\\') continue;
        const char c = static_cast<char>(b);
        names.push_back(std::string(1, c));
        names.push_back(std::string("x") + c);
        names.push_back(std::string(1, c) + "a");
    }
    for (const char* extra : {"ab", "AB", "Ab", "a", "DUP", "dup", "DUP", "\xC9T\xC9", "\xE9t\xE9"})
        names.push_back(extra);

    std::vector<datwriter::Entry> entries;
    for (const auto& name : names) entries.push_back(datwriter::Make("D\\" + name, "x"));
    test::TempDir dir;
    DatArchive archive;
    ASSERT_TRUE(archive.load(dir.write("t.dat", datwriter::BuildDat(entries))).ok);
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(archive, table);
    FileListModel model;
    model.setFiles(folders.filesOf(folders.node(FolderIndex::kRoot).children[0]), table);

    std::vector<EntryIndex> expected(names.size());
    for (EntryIndex i = 0; i < expected.size(); ++i) expected[i] = i;
    std::stable_sort(expected.begin(), expected.end(), [&](EntryIndex a, EntryIndex b) {
        const QString ta = FromCp1252(names[a]);
        const QString tb = FromCp1252(names[b]);
        const int byText = ta.compare(tb, Qt::CaseInsensitive);
        return byText != 0 ? byText < 0 : ta < tb;
    });
    ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size()));
    for (int row = 0; row < model.rowCount(); ++row) {
        ASSERT_EQ(model.entryAt(row), expected[static_cast<std::size_t>(row)])
            << "row " << row << ": " << model.textAt(row).toStdString();
    }
}

}  // namespace
}  // namespace tarvix
