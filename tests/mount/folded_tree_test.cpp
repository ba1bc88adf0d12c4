#include "mount/folded_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tarvix::mount {
namespace {

// Every folder's listing ("" for the top), each child as "name" or "name/" for a folder.
using Listing = std::map<std::string, std::vector<std::string>>;

Listing ListAll(const FoldedTree& tree, NodeId folder = EffectiveEntries::kRoot,
                const std::string& path = "") {
    Listing listing;
    std::vector<std::string>& names = listing[path];
    for (const NodeId child : tree.children(folder)) {
        const EffectiveNode& node = tree.node(child);
        names.push_back(std::string(node.name) + (node.isFolder ? "/" : ""));
        if (node.isFolder) listing.merge(ListAll(tree, child, path + std::string(node.name) + "/"));
    }
    return listing;
}

struct TreeCase {
    const char* name;
    std::vector<std::string> paths;  // in order of precedence
    Listing listing;
    std::vector<std::string> refused;  // the unsafe component of each path not added
    std::vector<std::string> hidden;   // paths that lost their name
};

class FoldedTreeTest : public testing::TestWithParam<TreeCase> {};

TEST_P(FoldedTreeTest, ListsEachFoldedNameOnceInTheFirstSpelling) {
    const TreeCase& c = GetParam();
    FoldedTree tree;
    std::vector<std::string> refused;
    for (std::uint32_t i = 0; i < c.paths.size(); ++i) {
        if (const auto unsafe = tree.addFile(c.paths[i], {.source = i}))
            refused.emplace_back(*unsafe);
    }
    std::vector<std::string> hidden;
    tree.finish([&](NodeId lost, NodeId) { hidden.push_back(tree.pathOf(lost)); });
    EXPECT_EQ(ListAll(tree), c.listing);
    EXPECT_EQ(refused, c.refused);
    EXPECT_EQ(hidden, c.hidden);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, FoldedTreeTest,
    testing::Values(TreeCase{"SortedByFoldedName",
                             {"b.txt", "A\\c.txt", "a.txt"},
                             {{"", {"A/", "a.txt", "b.txt"}}, {"A/", {"c.txt"}}},
                             {},
                             {}},
                    TreeCase{
                        "FoldersMergeUnderTheFirstSpelling",
                        {"ART\\CRITTERS\\X.FRM", "art\\critters\\y.frm", "Art\\Intrface\\z.frm"},
                        {{"", {"ART/"}},
                         {"ART/", {"CRITTERS/", "Intrface/"}},
                         {"ART/CRITTERS/", {"X.FRM", "y.frm"}},
                         {"ART/Intrface/", {"z.frm"}}},
                        {},
                        {}},
                    TreeCase{"FirstFileWins",
                             {"TEXT\\README.TXT", "text\\readme.txt", "Text\\ReadMe.Txt"},
                             {{"", {"TEXT/"}}, {"TEXT/", {"README.TXT"}}},
                             {},
                             {"TEXT\\readme.txt", "TEXT\\ReadMe.Txt"}},
                    TreeCase{"FileBeforeFolderOfTheSameName",
                             {"A\\B", "a\\b\\C"},
                             {{"", {"A/"}}, {"A/", {"B"}}},
                             {},
                             {"A\\b"}},
                    TreeCase{"FolderBeforeFileOfTheSameName",
                             {"A\\B\\C", "A\\b"},
                             {{"", {"A/"}}, {"A/", {"B/"}}, {"A/B/", {"C"}}},
                             {},
                             {"A\\b"}},
                    TreeCase{"EmptyFolderComponentsMakeNoFolder",
                             {"\\DATA\\\\X.TXT", "DATA\\Y.TXT"},
                             {{"", {"DATA/"}}, {"DATA/", {"X.TXT", "Y.TXT"}}},
                             {},
                             {}},
                    TreeCase{"UnsafeNamesAreNotAdded",
                             {"..\\EVIL.TXT", "A\\..\\B.TXT", "A\\", "C:\\X", "A\\.", "GOOD.TXT"},
                             {{"", {"GOOD.TXT"}}},
                             {"..", "..", "", "C:", "."},
                             {}},
                    TreeCase{"OnlyAsciiFolds",
                             {"\xC9T\xC9.TXT", "\xE9t\xE9.txt", "\xC9t\xC9.txt"},
                             {{"", {"\xC9T\xC9.TXT", "\xE9t\xE9.txt"}}},
                             {},
                             {"\xC9t\xC9.txt"}}),
    [](const auto& info) { return info.param.name; });

struct LookupCase {
    const char* asked;
    const char* found;  // the path found, or "" for none
};

class FoldedLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(FoldedLookupTest, FindsANameWhateverItsAsciiCase) {
    FoldedTree tree;
    for (const char* path : {"ART\\CRITTERS\\HMJMPSAA.FRM", "ART\\CRITTERS\\HFJMPSAA.FRM",
                             "MAPS\\ARROYO.MAP", "README.TXT", "\xC9T\xC9.TXT"})
        tree.addFile(path, {});
    tree.finish(nullptr);
    std::optional<NodeId> at = EffectiveEntries::kRoot;
    std::string_view rest = GetParam().asked;
    while (at && !rest.empty()) {
        const auto slash = rest.find('\\');
        at = tree.lookup(*at, rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    EXPECT_EQ(at ? tree.pathOf(*at) : "", GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, FoldedLookupTest,
    testing::Values(LookupCase{"art\\critters\\hmjmpsaa.frm", "ART\\CRITTERS\\HMJMPSAA.FRM"},
                    LookupCase{"Art\\Critters\\HfJmPsAa.FrM", "ART\\CRITTERS\\HFJMPSAA.FRM"},
                    LookupCase{"maps", "MAPS"}, LookupCase{"readme.txt", "README.TXT"},
                    LookupCase{"\xC9t\xC9.txt", "\xC9T\xC9.TXT"}, LookupCase{"\xE9t\xE9.txt", ""},
                    LookupCase{"readme.tx", ""}, LookupCase{"readme.txt\\x", ""},
                    LookupCase{"art\\hmjmpsaa.frm", ""}));

}  // namespace
}  // namespace tarvix::mount
