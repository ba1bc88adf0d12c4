#include "archive/game_stack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;
using datwriter::BuildDat;
using datwriter::Make;

struct GameStackCase {
    const char* title;
    std::vector<std::string> files;  // "name=bytes"; "name.dat" alone an archive of one entry
    GameStackOptions options;
    GameStackRefusal refusal;
    std::string refusedSource;  // below the game folder
    std::size_t entries;        // effective entries of the stack opened
    std::size_t missing;
};

const GameStackCase kGameStackCases[] = {
    {"BuiltByDefault", {"critter.dat", "master.dat"}, {}, GameStackRefusal::None, "", 1, 1},
    {"LeftUnbuiltForLookUps",
     {"critter.dat", "master.dat"},
     {.build = false},
     GameStackRefusal::None,
     "",
     0,
     1},
    {"NoSourcesRefusedByDefault", {"readme.txt=x"}, {}, GameStackRefusal::NoSources, "", 0, 3},
    {"NoSourcesOpenedEmptyWhenAsked",
     {"readme.txt=x"},
     {.refuseEmpty = false},
     GameStackRefusal::None,
     "",
     0,
     3},
    {"DamagedSourceNamedWithItsReason",
     {"critter.dat=not an archive", "master.dat"},
     {.refuseEmpty = false},
     GameStackRefusal::Source,
     "critter.dat",
     0,
     1},
};

class GameStackTest : public ::testing::TestWithParam<GameStackCase> {};

TEST_P(GameStackTest, OpensTheGamesStackAsAsked) {
    const GameStackCase& c = GetParam();
    test::TempDir dir;
    for (const std::string& file : c.files) {
        const std::size_t equals = file.find('=');
        if (equals != std::string::npos) {
            dir.write(file.substr(0, equals), file.substr(equals + 1));
        } else {
            dir.write(file, BuildDat({Make("ART\\CRITTERS\\HMJMPS.FRM", file)}));
        }
    }
    const OpenedGameStack opened = OpenGameStack(dir.path(), c.options);
    EXPECT_EQ(opened.refusal, c.refusal);
    EXPECT_EQ(opened.missing.size(), c.missing);
    EXPECT_EQ(opened.stack == nullptr, c.refusal != GameStackRefusal::None);
    EXPECT_EQ(opened.error.empty(), c.refusal == GameStackRefusal::None) << opened.error;
    if (c.refusal == GameStackRefusal::Source) {
        const std::string label = (dir.path() / c.refusedSource).string();
        EXPECT_EQ(opened.refusedSource, label);
        EXPECT_FALSE(opened.refusedReason.empty());
        EXPECT_EQ(opened.error, label + ": " + opened.refusedReason);
    }
    if (!opened.stack) return;
    EXPECT_EQ(opened.stack->entries().size(), c.entries);
    // Built or not, a lookup finds the first source's copy and the one it shadows.
    const auto found = opened.stack->lookUp("art\\critters\\hmjmps.frm");
    EXPECT_EQ(found.has_value(), opened.stack->sourceCount() > 0);
    if (found) {
        EXPECT_EQ(found->shadows.size(), opened.stack->sourceCount() - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(GameStacks, GameStackTest, ::testing::ValuesIn(kGameStackCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST(GameStack, AFileIsNotAGameFolder) {
    test::TempDir dir;
    const OpenedGameStack opened =
        OpenGameStack(dir.write("master.dat", "x"), {.refuseEmpty = false});
    EXPECT_EQ(opened.refusal, GameStackRefusal::NotAFolder);
    EXPECT_EQ(opened.stack, nullptr);
}

}  // namespace
}  // namespace tarvix
