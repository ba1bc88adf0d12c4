#include <gtest/gtest.h>

#include "dat_writer.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/archive_opening.h"

namespace tarvix {
namespace {

// Through the whole open flow, with the dialog handing the name over as typed.
TEST(TypedFileName, OpensTheFileTheNameStandsFor) {
    test::TempDir folder;
    for (const char* file : {"master", "demo.dat", "both", "both.dat", "notes.txt.dat"}) {
        folder.write(file, datwriter::BuildDat({datwriter::Make("A\\B", "x")}));
    }
    const std::vector<std::pair<std::string, std::string>> typedAndOpened = {
        {"master", "master"},           {"demo", "demo.dat"},
        {"demo.dat", "demo.dat"},       {"both", "both"},
        {"notes.txt", "notes.txt.dat"}, {"missing", ""}};  // "": nothing opens
    for (const auto& [typed, opened] : typedAndOpened) {
        test::ScriptedDialogs dialogs;
        dialogs.answerOpen(folder / typed);
        ArchiveSession session;
        EXPECT_EQ(OpenArchiveInto(session, *ChooseArchive(dialogs), dialogs), !opened.empty())
            << typed;
        if (!opened.empty()) {
            EXPECT_EQ(session.archive().path(), folder / opened) << typed;
        }
    }
}

}  // namespace
}  // namespace tarvix
