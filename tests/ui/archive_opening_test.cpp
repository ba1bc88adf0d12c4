#include "ui/archive_opening.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "archive/dat_entry.h"
#include "dat_writer.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;
using test::ScriptedDialogs;
using test::TempDir;

TEST(ArchiveOpening, OpenArchiveAsksForADatFileWithTwoFilters) {
    ScriptedDialogs dialogs;
    dialogs.cancelOpen();
    EXPECT_EQ(ChooseArchive(dialogs), std::nullopt);
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    const OpenFileRequest& request = dialogs.openRequests[0];
    EXPECT_EQ(request.defaultSuffix, "dat");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].label, "DAT Files (*.dat)");
    EXPECT_EQ(request.filters[0].pattern, "*.dat");
    EXPECT_EQ(request.filters[1].label, "All Files (*.*)");
    EXPECT_EQ(request.filters[1].pattern, "*.*");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(ArchiveOpening, AValidArchiveUnderAnyExtensionLoadsAndKeepsItsPath) {
    TempDir dir;
    const auto path = dir.write("game.bin", BuildDat({Make("X\\Y", "data")}));
    ScriptedDialogs dialogs;
    dialogs.answerOpen(path);
    ArchiveSession session;
    EXPECT_TRUE(OpenArchiveInto(session, *ChooseArchive(dialogs), dialogs));
    EXPECT_EQ(session.archive().path(), path);
    EXPECT_EQ(EntryName(session.table()[0]), "X\\Y");
    EXPECT_TRUE(dialogs.messages.empty());
}

// A file that cannot be opened at all is named with the system's reason before the window's
// own message; so is a folder, which would otherwise be refused as too short.
TEST(ArchiveOpening, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.dat");
    const struct {
        const char* name;
        std::errc reason;
    } cases[] = {
        {"missing.dat", std::errc::no_such_file_or_directory},
        {"folder.dat", std::errc::is_a_directory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        ArchiveSession session;
        EXPECT_FALSE(OpenArchiveInto(session, dir / c.name, dialogs));
        EXPECT_FALSE(session.isOpen());
        const std::string reason = std::make_error_code(c.reason).message();
        EXPECT_EQ(dialogs.messages, (std::vector<std::string>{
                                        "Cannot open " + (dir / c.name).string() + ": " + reason,
                                        messages::kCannotOpen}));
    }
}

// A refused archive leaves the one shown as it was.
TEST(ArchiveOpening, ARefusedArchiveKeepsTheSessionAsItWas) {
    TempDir dir;
    ScriptedDialogs dialogs;
    ArchiveSession session;
    const auto good = dir.write("good.dat", BuildDat({Make("A\\B", "x")}));
    ASSERT_TRUE(OpenArchiveInto(session, good, dialogs));
    EXPECT_FALSE(OpenArchiveInto(session, dir.write("bad.dat", "1234"), dialogs));
    EXPECT_EQ(dialogs.messages,
              (std::vector<std::string>{messages::kTooShort, messages::kCannotOpen}));
    EXPECT_EQ(session.archive().path(), good);
    EXPECT_EQ(EntryName(session.table()[0]), "A\\B");
}

}  // namespace
}  // namespace tarvix
