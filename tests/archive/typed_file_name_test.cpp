#include "archive/typed_file_name.h"

#include <gtest/gtest.h>

#include "archive/dat_archive.h"
#include "dat_writer.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

struct TypedNameCase {
    const char* name;
    std::vector<std::string> files;  // archives in the folder
    std::string typed;
    std::string opened;  // empty: nothing is opened
};

void PrintTo(const TypedNameCase& c, std::ostream* os) {
    *os << c.name;
}

class TypedFileName : public ::testing::TestWithParam<TypedNameCase> {};

// Through the whole open flow: the dialog hands over the name as typed.
TEST_P(TypedFileName, OpensTheFileTheNameStandsFor) {
    const TypedNameCase& c = GetParam();
    test::TempDir folder;
    for (const std::string& file : c.files) {
        folder.write(file, datwriter::BuildDat({datwriter::Make("A\\" + file, "x")}));
    }
    test::ScriptedDialogs dialogs;
    dialogs.answerOpen(folder / c.typed);
    DatArchive archive;

    EXPECT_EQ(archive.OpenArchive(dialogs), !c.opened.empty());
    EXPECT_EQ(archive.isLoaded(), !c.opened.empty());
    if (!c.opened.empty()) {
        EXPECT_EQ(archive.path(), folder / c.opened);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedFileName,
    ::testing::Values(
        TypedNameCase{"NameWithoutExtensionThatExists", {"master"}, "master", "master"},
        TypedNameCase{"ExtensionLeftOff", {"demo.dat"}, "demo", "demo.dat"},
        TypedNameCase{"BothExistTheTypedOneWins", {"both", "both.dat"}, "both", "both"},
        TypedNameCase{"FullName", {"full.dat"}, "full.dat", "full.dat"},
        TypedNameCase{"OtherExtensionLeftOff", {"notes.txt.dat"}, "notes.txt", "notes.txt.dat"},
        TypedNameCase{"OtherExtensionThatExists", {"patch.000"}, "patch.000", "patch.000"},
        TypedNameCase{"NeitherExists", {"other.dat"}, "missing", ""}),
    [](const ::testing::TestParamInfo<TypedNameCase>& info) { return info.param.name; });

TEST(ResolveTypedFileName, NoDefaultSuffixLeavesTheNameAlone) {
    test::TempDir folder;
    folder.write("x.dat", "x");
    EXPECT_EQ(ResolveTypedFileName(folder / "x", ""), folder / "x");
}

}  // namespace
}  // namespace tarvix
