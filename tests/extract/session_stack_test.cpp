// A session over a game folder: its entry list stands for the stack's effective entries, and
// content, facts and extraction come from each one's winning copy.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/archive_session.h"
#include "archive/cp1252.h"
#include "dat_writer.h"
#include "extract/session_batch.h"
#include "extract/session_content.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;

class SessionStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(work / "game" / "data" / "ART");
        datwriter::Entry packed = Make("art\\intrface\\BIG.TXT", datwriter::Zlib("zlib text"));
        packed.type = 1;
        packed.realSize = 9;
        work.write("game/critter.dat", BuildDat({Make("art\\critters\\hero.frm", "critter"), packed,
                                                 Make("art\\critters\\bad.frm", "bad")}));
        // A damaged packed copy of bad.frm that the stored copy above hides.
        datwriter::Entry broken = Make("ART\\CRITTERS\\BAD.FRM", "not zlib");
        broken.type = 1;
        broken.realSize = 50;
        work.write("game/master.dat",
                   BuildDat({Make("ART\\CRITTERS\\HERO.FRM", "master"),
                             Make("ART\\CRITTERS\\ONLY.FRM", "only master"), broken}));
        work.write("game/data/ART/Patch.txt", "from the folder");
        const DatArchive::LoadResult result = session.openGame(work / "game");
        ASSERT_TRUE(result.ok) << result.message;
    }

    // The session's entry of `path` as the window lists it.
    std::optional<EntryIndex> Find(const std::string& path) const {
        for (EntryIndex i = 0; i < session.archive().entryCount(); ++i) {
            if (EntryName(session.table()[i]) == path) return i;
        }
        return std::nullopt;
    }

    test::TempDir work;
    ArchiveSession session;
};

TEST_F(SessionStackTest, EntriesReadFromTheirWinningCopy) {
    struct Case {
        const char* path;  // as listed: the union's folder spelling, the winner's file name
        std::string content;
        PackingKind packing;
        std::uint32_t realSize;
    };
    const std::vector<Case> cases = {
        {"ART\\critters\\hero.frm", "critter", PackingKind::Stored, 7},
        {"ART\\critters\\ONLY.FRM", "only master", PackingKind::Stored, 11},
        {"ART\\intrface\\BIG.TXT", "zlib text", PackingKind::Zlib, 9},
        {"ART\\critters\\bad.frm", "bad", PackingKind::Stored, 3},
        {"ART\\Patch.txt", "from the folder", PackingKind::Stored, 15},
    };
    ASSERT_NE(session.stack(), nullptr);
    EXPECT_EQ(session.archive().entryCount(), cases.size());
    EXPECT_EQ(session.archive().path(), work / "game");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto index = Find(c.path);
        ASSERT_TRUE(index);
        const EntryInfo info = SessionEntryInfo(session, *index);
        EXPECT_EQ(info.name, c.path);
        EXPECT_EQ(info.packing, c.packing);
        EXPECT_EQ(info.realSize, c.realSize);
        EXPECT_EQ(GetEntrySizes(session.table(), *index).realSize, c.realSize);
        const EntryContent content = LoadSessionContent(session, *index);
        EXPECT_EQ(content.status, EntryContent::Status::Ok);
        EXPECT_EQ(std::string(content.bytes.begin(), content.bytes.end()), c.content);
    }
    // Beyond the list: refused, never read.
    EXPECT_EQ(LoadSessionContent(session, 99).status, EntryContent::Status::CannotRead);
}

TEST_F(SessionStackTest, ExtractsWhatTheSessionListsFromTheWinners) {
    struct Case {
        const char* label;
        ExtractionSubject subject;
        bool preserve;
        std::map<std::string, std::string> files;  // below the destination
    };
    const NodeId critters = session.folders().folderOf("ART\\critters");
    ASSERT_NE(critters, FolderIndex::kRoot);
    const std::vector<Case> cases = {
        {"a folder of three spellings, below its parent",
         {ExtractionSubject::Kind::Folder, {}, critters},
         false,
         {{"critters/hero.frm", "critter"},
          {"critters/ONLY.FRM", "only master"},
          {"critters/bad.frm", "bad"}}},
        {"everything, each below its own folders",
         {ExtractionSubject::Kind::Archive, {}},
         true,
         {{"ART/critters/hero.frm", "critter"},
          {"ART/critters/ONLY.FRM", "only master"},
          {"ART/critters/bad.frm", "bad"},
          {"ART/intrface/BIG.TXT", "zlib text"},
          {"ART/Patch.txt", "from the folder"}}},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::filesystem::path dest = work / ("out" + std::to_string(run++));
        std::filesystem::create_directory(dest);
        const ExtractionPlan plan = PlanExtraction(session, c.subject, {c.preserve, true}, dest);
        const BatchReport report = ExtractFromSession(session, plan);
        EXPECT_TRUE(report.failures.empty()) << report.failures.front();
        EXPECT_EQ(report.written, c.files.size());
        for (const auto& [path, content] : c.files) EXPECT_EQ(test::ReadFile(dest / path), content);
    }
}

}  // namespace
}  // namespace tarvix
