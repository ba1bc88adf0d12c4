#include "archive/source_stack.h"
#include "archive/game_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "archive/game_path.h"
#include "dat_writer.h"
#include "support/temp_dir.h"
#include "support/without_waiting.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

// One source of a stack to build: an archive of these entries, or a folder of these files
// ('/' between components), named by `label`.
struct SourceToMake {
    std::string label;
    bool folder = false;
    std::vector<std::pair<std::string, std::string>> files;  // name, content
};

struct StackCase {
    const char* title;
    std::vector<SourceToMake> sources;
    // Each effective entry: "<name> <- <winner>[ hides <shadowed>,...]", in the stack's order.
    std::vector<std::string> entries;
    // The union of the folders, one per line, two spaces per level, "name/" then its files.
    std::string tree;
};

std::string Describe(const SourceStack& stack, const StackEntry& e) {
    std::string line = std::string(e.name) + " <- " + stack.source(e.source).label();
    for (std::size_t i = 0; i < e.shadows.size(); ++i) {
        line += (i == 0 ? " hides " : ",") + stack.source(e.shadows[i].source).label();
    }
    return line;
}

std::string Tree(const SourceStack& stack, std::uint32_t id = SourceStack::kRootFolder,
                 int depth = 0) {
    std::string out;
    const std::string indent(2 * depth, ' ');
    for (std::uint32_t file : stack.folder(id).files) {
        const std::string_view name = stack.entries()[file].name;
        out += indent + std::string(name.substr(name.rfind('\\') + 1)) + "\n";
    }
    for (std::uint32_t child : stack.folder(id).folders) {
        out += indent + std::string(stack.folder(child).name) + "/\n";
        out += Tree(stack, child, depth + 1);
    }
    return out;
}

class SourceStackTest : public ::testing::TestWithParam<StackCase> {
protected:
    void Build(const std::vector<SourceToMake>& sources) {
        for (const SourceToMake& source : sources) {
            fs::path path = dir / source.label;
            if (source.folder) {
                for (const auto& [name, content] : source.files) {
                    fs::create_directories((path / name).parent_path());
                    dir.write(source.label + "/" + name, content);
                }
                fs::create_directories(path);
            } else {
                std::vector<datwriter::Entry> entries;
                for (const auto& [name, content] : source.files) {
                    entries.push_back(datwriter::Make(name, content));
                }
                path = dir.write(source.label + ".dat", datwriter::BuildDat(entries));
            }
            StackSource::Opened opened = StackSource::Open(path, source.label);
            ASSERT_TRUE(opened.source) << opened.error;
            stack.add(std::move(opened.source));
        }
        stack.build();
    }

    test::TempDir dir;
    SourceStack stack;
};

TEST_P(SourceStackTest, EffectiveEntriesAndFolders) {
    const StackCase& c = GetParam();
    Build(c.sources);
    std::vector<std::string> entries;
    for (const StackEntry& e : stack.entries()) entries.push_back(Describe(stack, e));
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(Tree(stack), c.tree);
    // Each entry's folder path and file name spell its name again, in any case: what the
    // window lists it under.
    for (const StackEntry& e : stack.entries()) {
        const std::string_view file = e.name.substr(e.name.rfind('\\') + 1);
        const std::string listed = e.folder == SourceStack::kRootFolder
                                       ? std::string(file)
                                       : stack.folderPath(e.folder) + "\\" + std::string(file);
        EXPECT_TRUE(SameGamePath(listed, e.name)) << listed << " for " << e.name;
    }
    // One lookup without the union gives the same answer as the union.
    for (const StackEntry& e : stack.entries()) {
        const std::optional<StackEntry> alone = stack.lookUp(e.name);
        ASSERT_TRUE(alone) << e.name;
        EXPECT_EQ(Describe(stack, *alone), Describe(stack, e));
    }
}

const StackCase kStackCases[] = {
    {"SamePathInThreeSourcesInDifferentCases",
     {{"A", false, {{"ART\\CRITTERS\\HMJMPS.FRM", "a"}}},
      {"B", true, {{"art/critters/hmjmps.frm", "b"}}},
      {"C", false, {{"Art\\Critters\\Hmjmps.frm", "c"}}}},
     {"ART\\CRITTERS\\HMJMPS.FRM <- A hides B,C"},
     "ART/\n  CRITTERS/\n    HMJMPS.FRM\n"},
    {"FolderInOneSourceFileOfThatNameInAnother",
     {{"A", false, {{"text\\english", "file"}}}, {"B", false, {{"TEXT\\ENGLISH\\game.msg", "m"}}}},
     {"text\\english <- A", "TEXT\\ENGLISH\\game.msg <- B"},
     "text/\n  english\n  ENGLISH/\n    game.msg\n"},
    {"FileOnlyInAFolderOnDiskWithMixedCase",
     {{"patches", true, {{"Maps/Arroyo.MAP", "x"}}},
      {"master", false, {{"MAPS\\other.map", "y"}, {"maps\\ARROYO.map", "z"}}}},
     {"Maps\\Arroyo.MAP <- patches hides master", "MAPS\\other.map <- master"},
     "Maps/\n  Arroyo.MAP\n  other.map\n"},
    {"GameOrderFoldsBeforeComparingBytes",
     {{"A", false, {{"B", ""}, {"_", ""}, {"a", ""}, {"A_c", ""}, {"a\\b", ""}, {"a.b", ""}}}},
     {"_ <- A", "a <- A", "a.b <- A", "a\\b <- A", "A_c <- A", "B <- A"},
     "_\na\na.b\nA_c\nB\na/\n  b\n"},
    {"TwoEntriesOfOnePathInOneSourceKeepTheFirstAndHideNothing",
     {{"A", false, {{"x\\f", "1"}, {"X\\F", "2"}}}, {"B", false, {{"x\\F", "3"}}}},
     {"x\\f <- A hides B"},
     "x/\n  f\n"},
    {"FolderSpelledAsTheFirstSourceThatHasIt",
     {{"A", false, {{"sound\\SFX\\a.acm", ""}}},
      {"B", false, {{"SOUND\\sfx\\b.acm", ""}, {"Sound\\Music\\c.acm", ""}}}},
     {"Sound\\Music\\c.acm <- B", "sound\\SFX\\a.acm <- A", "SOUND\\sfx\\b.acm <- B"},
     "sound/\n  Music/\n    c.acm\n  SFX/\n    a.acm\n    b.acm\n"},
    {"LeadingBackslashIsAFolderOfNoNameNotTheTop",
     {{"A", false, {{"\\ART\\X.FRM", "1"}, {"ART\\X.FRM", "2"}, {"\\Y.FRM", "3"}, {"Y.FRM", "4"}}}},
     {"\\ART\\X.FRM <- A", "\\Y.FRM <- A", "ART\\X.FRM <- A", "Y.FRM <- A"},
     "Y.FRM\n/\n  Y.FRM\n  ART/\n    X.FRM\nART/\n  X.FRM\n"},
    {"AccentedLetterInTheFirstEightBytesSortsAfterAscii",
     {{"A", false, {{"ab\xE9x", ""}, {"abz", ""}}}},
     {"abz <- A", "ab\xE9x <- A"},
     "abz\nab\xE9x\n"},
    {"PathsAlikeInTheirFirstEightBytes",
     {{"A", false, {{"abcdefgh\\z", ""}}}, {"B", false, {{"abcdefgh\\a", ""}, {"abcdefgh", ""}}}},
     {"abcdefgh <- B", "abcdefgh\\a <- B", "abcdefgh\\z <- A"},
     "abcdefgh\nabcdefgh/\n  a\n  z\n"},
};

INSTANTIATE_TEST_SUITE_P(Stacks, SourceStackTest, ::testing::ValuesIn(kStackCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST(SourceStackLookup, FindsPathsAndFoldersInAnySpelling) {
    test::TempDir dir;
    SourceStack stack;
    const auto dat = dir.write("a.dat", datwriter::BuildDat({datwriter::Make("Art\\X.frm", "1")}));
    stack.add(StackSource::Open(dat, "a").source);
    stack.build();
    struct Row {
        const char* path;
        bool entry;
        bool folder;
    };
    const Row rows[] = {
        {"art\\x.FRM", true, false},    {"ART", false, true}, {"art\\x", false, false},
        {"Art\\X.frm\\", false, false}, {"", false, true},    {"Art\\X.fr", false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(stack.find(row.path) != nullptr, row.entry) << row.path;
        EXPECT_EQ(stack.findFolder(row.path).has_value(), row.folder) << row.path;
    }
    EXPECT_EQ(stack.folderPath(*stack.findFolder("aRt")), "Art");
}

// Links are never followed out of a folder source, whether to a file or to a folder.
TEST(FolderSource, ListsNoLinkAndNothingOutsideTheFolder) {
    test::TempDir dir;
    fs::create_directories(dir / "outside");
    fs::create_directories(dir / "root/sub");
    dir.write("outside/secret.txt", "s");
    dir.write("root/inside.txt", "i");
    fs::create_symlink(dir / "outside/secret.txt", dir / "root/file_link");
    fs::create_directory_symlink(dir / "outside", dir / "root/sub/folder_link");
    const StackSource::Opened opened = StackSource::Open(dir / "root", "root");
    ASSERT_TRUE(opened.source);
    ASSERT_EQ(opened.source->entryCount(), 1u);
    EXPECT_EQ(opened.source->entryName(0), "inside.txt");
    EXPECT_EQ(opened.source->files()[0].size, 1u);
    // Left unmeasured for lookups: the same files, no link, sizes 0.
    const StackSource::Opened names = StackSource::Open(dir / "root", "root", false);
    ASSERT_TRUE(names.source);
    ASSERT_EQ(names.source->entryCount(), 1u);
    EXPECT_EQ(names.source->entryName(0), "inside.txt");
    EXPECT_EQ(names.source->files()[0].size, 0u);

    DatArchive loose;
    EXPECT_FALSE(loose.loadLooseFile(dir / "root", "file_link", "file_link"));
    EXPECT_FALSE(loose.loadLooseFile(dir / "root", "sub/folder_link/secret.txt", "s"));
    EXPECT_FALSE(loose.loadLooseFile(dir / "root", "../outside/secret.txt", "s"));
    ASSERT_TRUE(opened.source->openLooseFile(0, loose));
    std::uint8_t byte = 0;
    EXPECT_EQ(loose.readAt(0, &byte, 1), 1u);
    EXPECT_EQ(byte, 'i');
}

// What a folder's file may have become between its listing and its opening: only a regular
// file opens, and nothing blocks on the way (a FIFO without a writer would).
struct LooseKindCase {
    const char* name;
    void (*make)(const fs::path& at);
    bool opens;
};

class LooseFileKindTest : public testing::TestWithParam<LooseKindCase> {};

TEST_P(LooseFileKindTest, OnlyARegularFileOpensAndNoneBlocks) {
    test::TempDir dir;
    fs::create_directories(dir / "root");
    GetParam().make(dir / "root/file");
    DatArchive loose;
    EXPECT_EQ(
        test::WithoutWaitingOn(dir / "root/file",
                               [&] { return loose.loadLooseFile(dir / "root", "file", "file"); }),
        GetParam().opens);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LooseFileKindTest,
    testing::Values(
        LooseKindCase{"RegularFile", [](const fs::path& at) { std::ofstream(at) << "x"; }, true},
        LooseKindCase{"Fifo", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); },
                      false},
        LooseKindCase{"Folder", [](const fs::path& at) { fs::create_directory(at); }, false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix
