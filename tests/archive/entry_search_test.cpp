#include "archive/entry_search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_archive.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

class EntrySearchTest : public ::testing::Test {
protected:
    void Load(const std::vector<std::string>& names) {
        std::vector<datwriter::Entry> entries;
        for (const auto& name : names) entries.push_back(datwriter::Make(name, "x"));
        const auto result = archive.load(dir.write("t.dat", datwriter::BuildDat(entries)));
        ASSERT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
    }
    std::optional<std::vector<EntryIndex>> Find(const std::string& text,
                                                const std::function<bool()>& abandoned = {}) {
        return FindEntries(table, NamePattern(text, NamePattern::Plain::Substring), abandoned);
    }

    test::TempDir dir;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

// Directory order is not name order, and one folder's entries lie apart.
const std::vector<std::string> kNames = {
    "ART\\INTRFACE\\IFACE.FRM",  // 0
    "SOUND\\SFX\\IFACE.ACM",     // 1
    "ART\\CRITTERS\\HMJMPSAA.FRM",
    "IFACE.TXT",  // 3: a file at the top
    "ART\\INTRFACE\\ALLTXT.FRM",
    "TEXT\\CAF\xC9.MSG",   // 5: É in Windows-1252
    "DATA\\\x81\x8D.BIN",  // 6: bytes that are no letters
};

TEST_F(EntrySearchTest, FindsMatchesInDirectoryOrder) {
    ASSERT_NO_FATAL_FAILURE(Load(kNames));
    const struct {
        const char* pattern;
        std::vector<EntryIndex> found;
    } cases[] = {
        {"iface", {0, 1, 3}},
        {"IFACE.", {0, 1, 3}},
        {"art/intrface", {0, 4}},
        {"*.frm", {0, 2, 4}},
        {"*\\iface.???", {0, 1}},
        {"iface.???", {3}},  // a wildcard pattern is the whole path
        {"?????.txt", {3}},
        {"café", {5}},
        {"CAFÉ.MSG", {5}},
        {"data\\??.bin", {6}},
        {"", {}},
        {"日本", {}},  // no Windows-1252 byte for it
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(c.pattern), c.found) << c.pattern;
    }
}

// The search asks whether it is still wanted before each slice of kEntriesBetweenChecks
// entries; the first yes ends it without results.
TEST_F(EntrySearchTest, AnAbandonedSearchStopsAtTheNextSliceAndGivesNothing) {
    const std::size_t count = 2 * kEntriesBetweenChecks + 10;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) names.push_back("D\\F" + std::to_string(i));
    ASSERT_NO_FATAL_FAILURE(Load(names));
    const struct {
        int abandonAtAsk;  // 0: never
        bool complete;
        int asks;
    } cases[] = {
        {0, true, 3},
        {1, false, 1},
        {2, false, 2},
        {3, false, 3},
    };
    for (const auto& c : cases) {
        int asks = 0;
        const auto found = Find("d\\f", [&] { return ++asks == c.abandonAtAsk; });
        EXPECT_EQ(found.has_value(), c.complete) << c.abandonAtAsk;
        EXPECT_EQ(asks, c.asks) << c.abandonAtAsk;
        if (found) {
            EXPECT_EQ(found->size(), count);
        }
    }
}

// Each thread takes one run of entries; the runs' matches are joined in directory order, and
// an abandon seen by any thread abandons the whole search.
TEST_F(EntrySearchTest, SeveralThreadsFindWhatOneFinds) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 3 * kEntriesPerThread + 5; ++i)
        names.push_back("D" + std::to_string(i % 7) + "\\F" + std::to_string(i));
    ASSERT_NO_FATAL_FAILURE(Load(names));
    const NamePattern pattern("d3\\*1", NamePattern::Plain::Substring);
    const auto serial = FindEntries(table, pattern);
    ASSERT_TRUE(serial);
    EXPECT_GT(serial->size(), 1000u);
    for (unsigned threads : {2u, 3u, 8u}) {
        EXPECT_EQ(FindEntries(table, pattern, {}, threads), serial) << threads;
        std::atomic<int> asks{0};
        EXPECT_EQ(FindEntries(
                      table, pattern, [&] { return ++asks == 10; }, threads),
                  std::nullopt)
            << threads;
    }
}

TEST(NamePatternNarrows, OnlyWhenEveryMatchIsAMatchOfTheBroaderPattern) {
    const struct {
        const char* broader;
        const char* narrower;
        bool narrows;
    } cases[] = {
        {"ifa", "ifac", true},      {"ifa", "xifac", true},    {"IFA", "ifa", true},
        {"art/i", "art\\in", true}, {"ifac", "ifa", false},    {"*.f*", "*.f*m", true},
        {"*.f", "*.fr", false},     {"*.frm", "*.frm", false},  // whole paths: not a prefix rule
        {"ifa", "*ifa*", false},    {"*ifa*", "ifa", false},   {"", "a", false},
        {"日本", "日本x", false},
    };
    for (const auto& c : cases) {
        const NamePattern broader(c.broader, NamePattern::Plain::Substring);
        const NamePattern narrower(c.narrower, NamePattern::Plain::Substring);
        EXPECT_EQ(narrower.narrows(broader), c.narrows) << c.broader << " / " << c.narrower;
        for (const std::string& path : kNames) {
            if (c.narrows && narrower.matches(path)) {
                EXPECT_TRUE(broader.matches(path)) << path;
            }
        }
    }
}

// Plain text, checked against a search of the folded path, on paths and patterns of few
// letters (both cases, É and é, backslashes), so that repeats and near-misses abound.
TEST(NamePatternContains, FindsWhatTryingEveryPlaceFinds) {
    const std::string letters = "aAbB\xC9\xE9\\";
    const auto fold = [](std::string text) {
        for (char& c : text) c = static_cast<char>(FoldCp1252(static_cast<std::uint8_t>(c)));
        return text;
    };
    std::mt19937 random(7);
    const auto word = [&](std::size_t longest) {
        std::string text(1 + random() % longest, 'a');
        for (char& c : text) c = letters[random() % letters.size()];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string pattern = word(5);
        const std::string path = word(24);
        const bool expected = fold(path).find(fold(pattern)) != std::string::npos;
        EXPECT_EQ(NamePattern(Cp1252ToUtf8(pattern), NamePattern::Plain::Substring).matches(path),
                  expected)
            << Cp1252ToUtf8(pattern) << " in " << Cp1252ToUtf8(path);
    }
}

}  // namespace
}  // namespace tarvix
