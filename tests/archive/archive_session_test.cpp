#include "archive/archive_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/dat_entry.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;

// True when every entry of the table lies inside the session's own entry list.
bool TablePointsIntoTheArchive(const ArchiveSession& session) {
    const auto block = session.archive().dirBlock();
    for (std::size_t i = 0; i < session.archive().entryCount(); ++i) {
        const std::uint8_t* entry = session.table()[static_cast<EntryIndex>(i)];
        if (entry < block.data() || entry >= block.data() + block.size()) return false;
    }
    return true;
}

class ArchiveSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        first = dir.write("first.dat", BuildDat({Make("A\\ONE", "1"), Make("A\\TWO", "2")}));
        second = dir.write("second.dat", BuildDat({Make("B\\C\\THREE", "3")}));
        ASSERT_TRUE(session.open(first).ok);
    }

    test::TempDir dir;
    std::filesystem::path first;
    std::filesystem::path second;
    ArchiveSession session;
};

TEST_F(ArchiveSessionTest, OpensTheArchiveItsTableAndItsFoldersTogether) {
    EXPECT_TRUE(session.isOpen());
    EXPECT_EQ(session.archive().entryCount(), 2u);
    EXPECT_EQ(EntryName(session.table()[1]), "A\\TWO");
    EXPECT_NE(session.folders().folderOf("A"), FolderIndex::kRoot);
    EXPECT_TRUE(TablePointsIntoTheArchive(session));
}

// What each way of changing the session does, free and while a batch reads it.
TEST_F(ArchiveSessionTest, ChangesOnlyWhileNotInUse) {
    const struct {
        const char* label;
        bool inUse;
        std::function<bool(ArchiveSession&, const std::filesystem::path&)> change;
        bool changed;
        const char* pathAfter;  // "" for closed
    } cases[] = {
        {"open another", false,
         [](ArchiveSession& s, const std::filesystem::path& p) { return s.open(p).ok; }, true,
         "second.dat"},
        {"open another in use", true,
         [](ArchiveSession& s, const std::filesystem::path& p) { return s.open(p).ok; }, false,
         "first.dat"},
        {"replace", false,
         [](ArchiveSession& s, const std::filesystem::path& p) {
             ArchiveSession loaded;
             return loaded.open(p).ok && s.replaceWith(loaded);
         },
         true, "second.dat"},
        {"replace in use", true,
         [](ArchiveSession& s, const std::filesystem::path& p) {
             ArchiveSession loaded;
             return loaded.open(p).ok && s.replaceWith(loaded);
         },
         false, "first.dat"},
        {"close", false, [](ArchiveSession& s, const std::filesystem::path&) { return s.close(); },
         true, ""},
        {"close in use", true,
         [](ArchiveSession& s, const std::filesystem::path&) { return s.close(); }, false,
         "first.dat"},
        {"refused file", false,
         [](ArchiveSession& s, const std::filesystem::path& p) {
             return s.open(p.parent_path() / "missing.dat").ok;
         },
         false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(session.open(first).ok);
        const DatArchive* archive = &session.archive();
        const EntryTable* table = &session.table();
        {
            std::optional<ArchiveSession::Use> use;
            if (c.inUse) use.emplace(session);
            EXPECT_EQ(session.inUse(), c.inUse);
            EXPECT_EQ(c.change(session, second), c.changed);
        }
        EXPECT_FALSE(session.inUse());
        EXPECT_EQ(session.isOpen(), *c.pathAfter != '\0');
        if (session.isOpen()) {
            EXPECT_EQ(session.archive().path().filename(), std::string(c.pathAfter));
        }
        EXPECT_EQ(&session.archive(), archive);  // views keep their references
        EXPECT_EQ(&session.table(), table);
        EXPECT_TRUE(TablePointsIntoTheArchive(session));
    }
}

TEST_F(ArchiveSessionTest, OpeningWhileInUseSaysSo) {
    const ArchiveSession::Use use(session);
    const DatArchive::LoadResult result = session.open(second);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, messages::kSessionInUse);
}

// What the session tells of what it shows: the game's sources left out, and the data area an
// entry's stored bytes are checked against (none for a stack, whose list has no file).
TEST_F(ArchiveSessionTest, NamesLeftOutSourcesAndAStackHasNoDataArea) {
    std::filesystem::create_directories(dir.path() / "whole" / "data");
    std::filesystem::create_directories(dir.path() / "partial");
    dir.write("whole/critter.dat", BuildDat({Make("ART\\A.FRM", "a")}));
    dir.write("whole/master.dat", BuildDat({Make("ART\\B.FRM", "b")}));
    dir.write("partial/master.dat", BuildDat({Make("ART\\B.FRM", "b")}));
    const struct {
        const char* label;
        std::function<bool(ArchiveSession&)> open;
        std::vector<std::string> missing;
        bool hasDataArea;
    } cases[] = {
        {"an archive", [&](ArchiveSession& s) { return s.open(second).ok; }, {}, true},
        {"a whole game",
         [&](ArchiveSession& s) { return s.openGame(dir.path() / "whole").ok; },
         {},
         false},
        {"a game without critter.dat or data",
         [&](ArchiveSession& s) { return s.openGame(dir.path() / "partial").ok; },
         {(dir.path() / "partial" / "data").string(),
          (dir.path() / "partial" / "critter.dat").string()},
         false},
        {"closed", [](ArchiveSession& s) { return s.close(); }, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(c.open(session));
        EXPECT_EQ(session.missingSources(), c.missing);
        EXPECT_EQ(session.archive().dataAreaSize() > 0, c.hasDataArea);
        EXPECT_LE(session.archive().dataAreaSize(), std::filesystem::file_size(second));
    }
}

}  // namespace
}  // namespace tarvix
