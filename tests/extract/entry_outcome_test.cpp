// What extraction's outcomes say, which of them are worth a second try, and how the folders
// made for a failed entry are taken away.

#include "extract/entry_outcome.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include "extract/batch_extraction.h"
#include "extract/output_folders.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

TEST(Outcomes, TextsAndWhatIsTriedAgain) {
    struct Case {
        EntryOutcome outcome;
        std::string line;  // the report line of entry "D\\README.TXT"
        bool lackOfRoom;
    };
    const std::vector<Case> cases = {
        {CannotWriteOutcome(EACCES), "Cannot write D\\README.TXT: Permission denied", false},
        {CannotWriteOutcome(ENOTDIR), "Cannot write D\\README.TXT: Not a directory", false},
        {CannotWriteOutcome(ENAMETOOLONG), "Cannot write D\\README.TXT: File name too long", false},
        {CannotWriteOutcome(0), "Cannot write D\\README.TXT", false},  // an unsafe name
        {CannotWriteOutcome(ENOSPC), "Cannot write D\\README.TXT: No space left on device", true},
        {CannotWriteOutcome(EDQUOT), "Cannot write D\\README.TXT: Disk quota exceeded", true},
        {CannotWriteOutcome(EFBIG), "Cannot write D\\README.TXT: File too large", true},
        {{OutcomeKind::CannotRead}, "D\\README.TXT: Cannot read DAT file", false},
        {{OutcomeKind::Damaged}, "D\\README.TXT: Packed data is damaged", false},
        {{OutcomeKind::NoMemory}, "D\\README.TXT: Not enough memory to unpack", false},
        {{OutcomeKind::UnknownPacking, 0, 7}, "D\\README.TXT: Unknown packing (Type 7)", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FailureLine("D\\README.TXT", c.outcome), c.line);
        EXPECT_EQ(IsLackOfRoom(c.outcome), c.lackOfRoom) << c.line;
    }
    EXPECT_EQ(OutcomeText({}, "X"), "ok");
}

TEST(NoRoomText, NamesBothFiguresInReadableUnits) {
    EXPECT_EQ(NoRoomText({5000, 4096}),
              "Not enough free space: the files need 5000 bytes, the destination has 4096 bytes. "
              "Nothing was written.");
    EXPECT_EQ(NoRoomText({12'884'901'885'000, 2'500'000}),
              "Not enough free space: the files need 12.9 TB, the destination has 2.5 MB. "
              "Nothing was written.");
    // The window shows the batch's report as it is: the refusal alone.
    BatchReport refused;
    refused.total = 3;
    refused.noRoom = NoRoom{5000, 4096};
    EXPECT_EQ(FormatBatchReport(refused), NoRoomText({5000, 4096}));
}

// A folder made for an entry goes again by (its parent held open, its name): whatever was
// put on the way since cannot send the removal elsewhere.
TEST(FoldersMade, AreRemovedWhereTheyWereMadeNeverThroughAPathAgain) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& out, const fs::path& work)> change;
        std::vector<std::string> kept;     // below work
        std::vector<std::string> removed;  // below work
    };
    const std::vector<Case> cases = {
        {"nothing changed", [](const fs::path&, const fs::path&) {}, {"out"}, {"out/A"}},
        {"A swapped for a link to a folder with a B of its own",
         [](const fs::path& out, const fs::path& work) {
             fs::rename(out / "A", work / "moved");
             fs::create_directories(work / "elsewhere" / "B");
             fs::create_directory_symlink(work / "elsewhere", out / "A");
         },
         {"elsewhere/B", "out/A", "moved"},
         {"moved/B"}},
        {"something put into B meanwhile",
         [](const fs::path& out, const fs::path&) {
             std::ofstream(out / "A" / "B" / "NEW") << "n";
         },
         {"out/A/B/NEW"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const test::TempDir work;
        fs::create_directory(work / "out");
        OutputFolders folders(work / "out");
        MadeFolders made;
        ASSERT_GE(folders.enter("A\\B", {"A", "B"}, made), 0);
        c.change(work / "out", work.path());
        folders.forget();
        made.removeAll();
        for (const std::string& path : c.kept) {
            EXPECT_TRUE(fs::exists(fs::symlink_status(work / path))) << path;
        }
        for (const std::string& path : c.removed) EXPECT_FALSE(fs::exists(work / path)) << path;
    }
}

}  // namespace
}  // namespace tarvix
