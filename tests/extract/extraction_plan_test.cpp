#include "extract/extraction_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/dat_entry.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::Make;
using Kind = ExtractionSubject::Kind;
using Strings = std::vector<std::string>;

class ExtractionPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session
                        .open(dir.write("a.dat", datwriter::BuildDat({
                                                     Make("ART\\CRITTERS\\X.FRM", "x"),  // 0
                                                     Make("README.TXT", "r"),            // 1
                                                     Make("ART\\CRITTERS\\Y.FRM", "y"),  // 2
                                                     Make("ART\\INTRFACE\\I.FRM", "i"),  // 3
                                                 })))
                        .ok);
    }
    // Where each planned entry goes below the destination, in the plan's order.
    Strings Outputs(const ExtractionPlan& plan) const {
        Strings paths;
        for (EntryIndex entry : plan.entries) {
            paths.push_back(
                PlanOutput(session.archive(), session.table(), entry, plan.target).path);
        }
        return paths;
    }

    test::TempDir dir;
    ArchiveSession session;
};

TEST_F(ExtractionPlanTest, EachFrontEndsRequestLandsWhereTheWindowPutsIt) {
    const struct {
        const char* label;
        Kind kind;
        std::vector<EntryIndex> entries;
        const char* folder;  // a folder path, or nullptr
        bool preservePaths;
        Strings outputs;
    } cases[] = {
        {"rows of a folder",
         Kind::FilesOfFolder,
         {2, 0},
         "ART\\CRITTERS",
         false,
         {"Y.FRM", "X.FRM"}},
        {"rows of a folder, preserved",
         Kind::FilesOfFolder,
         {0},
         "ART\\CRITTERS",
         true,
         {"ART\\CRITTERS\\X.FRM"}},
        {"found entries", Kind::Entries, {3, 1}, nullptr, false, {"I.FRM", "README.TXT"}},
        {"found entries, preserved",
         Kind::Entries,
         {3, 1},
         nullptr,
         true,
         {"ART\\INTRFACE\\I.FRM", "README.TXT"}},
        {"a folder keeps its name",
         Kind::Folder,
         {},
         "ART\\CRITTERS",
         false,
         {"CRITTERS\\X.FRM", "CRITTERS\\Y.FRM"}},
        {"a folder, preserved",
         Kind::Folder,
         {},
         "ART\\CRITTERS",
         true,
         {"ART\\CRITTERS\\X.FRM", "ART\\CRITTERS\\Y.FRM"}},
        {"a top folder",
         Kind::Folder,
         {},
         "ART",
         false,
         {"ART\\CRITTERS\\X.FRM", "ART\\CRITTERS\\Y.FRM", "ART\\INTRFACE\\I.FRM"}},
        {"no folder named", Kind::Folder, {}, nullptr, false, {}},
        {"the archive",
         Kind::Archive,
         {},
         nullptr,
         false,
         {"ART\\CRITTERS\\X.FRM", "README.TXT", "ART\\CRITTERS\\Y.FRM", "ART\\INTRFACE\\I.FRM"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ExtractionSubject subject{c.kind, c.entries};
        if (c.folder) subject.folder = session.folders().folderOf(c.folder);
        const ExtractionPlan plan =
            PlanExtraction(session, subject, {c.preservePaths, /*unpack*/ true}, dir / "out");
        EXPECT_EQ(Outputs(plan), c.outputs);
        EXPECT_EQ(plan.target.destination, dir / "out");
        EXPECT_TRUE(plan.target.unpack);
    }
}

// The command line builds no folder tree: entries it selected plan the same as with one, and
// a folder cannot be named.
TEST_F(ExtractionPlanTest, WithoutAFolderIndexEntriesPlanAlike) {
    for (const bool preserve : {false, true}) {
        const ExtractionSubject subject{Kind::Entries, {3, 1}};
        EXPECT_EQ(Outputs(PlanExtraction(session.archive(), nullptr, subject, {preserve, false},
                                         dir.path())),
                  Outputs(PlanExtraction(session, subject, {preserve, false}, dir.path())));
    }
    ExtractionSubject folder{Kind::Folder, {}};
    folder.folder = session.folders().folderOf("ART");
    EXPECT_TRUE(PlanExtraction(session.archive(), nullptr, folder, {}, dir.path()).entries.empty());
    folder.folder = static_cast<NodeId>(session.folders().nodeCount());  // no such node
    EXPECT_TRUE(PlanExtraction(session, folder, {}, dir.path()).entries.empty());
}

}  // namespace
}  // namespace tarvix
