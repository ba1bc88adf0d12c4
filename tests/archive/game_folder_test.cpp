#include "archive/game_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/game_config.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

struct GameFolderCase {
    const char* title;
    std::vector<std::string> files;    // made empty; a name ending in '/' is a folder
    std::vector<std::string> sources;  // expected, below the game folder
    std::vector<std::string> missing;  // expected, below the game folder
};

const GameFolderCase kGameFolderCases[] = {
    {"DefaultsWithEverythingThere",
     {"patch000.dat", "data/", "critter.dat", "master.dat"},
     {"patch000.dat", "data", "critter.dat", "master.dat"},
     {}},
    {"MissingCritterDatIsNotedAndLeftOut",
     {"data/", "master.dat"},
     {"data", "master.dat"},
     {"critter.dat"}},
    {"NamesMatchedOnDiskIgnoringCase",
     {"PATCH000.DAT", "Data/", "Critter.Dat", "MASTER.DAT"},
     {"PATCH000.DAT", "Data", "Critter.Dat", "MASTER.DAT"},
     {}},
    {"ConfigWithSpacesAndOtherKeys",
     {"fallout2.cfg=[sound]\nmaster_dat=wrong.dat\n[ System ]\r\n  art_cache_size = 261\r\n"
      "  master_dat =  Base\\Big.DAT  \r\n;critter_dat=commented.dat\ncritter_patches= CPatch\n"
      "executable=game\n[debug]\ncritter_dat=wrong.dat\n",
      "base/big.dat", "cpatch/", "data/", "critter.dat"},
     {"cpatch", "critter.dat", "data", "base/big.dat"},
     {}},
    {"FalloutOneReadsFalloutCfgAndNoPatch000",
     {"fallout.cfg=[system]\nmaster_dat=f1master.dat\n", "patch000.dat", "data/", "critter.dat",
      "f1master.dat"},
     {"data", "critter.dat", "f1master.dat"},
     {}},
    {"Fallout2CfgPreferredOverFalloutCfg",
     {"fallout2.cfg=[system]\nmaster_dat=two.dat\n", "FALLOUT.CFG=[system]\nmaster_dat=one.dat\n",
      "two.dat", "one.dat", "critter.dat"},
     {"critter.dat", "two.dat"},
     {"data"}},
    {"OnePatchFolderNamedByBothKeysInAnyCase",
     {"fallout2.cfg=[system]\ncritter_patches=PATCHES\nmaster_patches=patches\n", "Patches/",
      "critter.dat", "master.dat"},
     {"Patches", "critter.dat", "master.dat"},
     {}},
};

class GameFolderTest : public ::testing::TestWithParam<GameFolderCase> {};

TEST_P(GameFolderTest, PlansTheGamesOwnStack) {
    const GameFolderCase& c = GetParam();
    test::TempDir dir;
    for (const std::string& file : c.files) {
        const std::size_t equals = file.find('=');
        const std::string name = file.substr(0, equals);
        fs::create_directories((dir / name).parent_path());
        if (name.ends_with('/')) continue;
        dir.write(name, equals == std::string::npos ? "" : file.substr(equals + 1));
    }
    const GameStackPlan plan = PlanGameStack(dir.path());
    std::vector<std::string> sources;
    for (const PlannedSource& s : plan.sources) {
        sources.push_back(fs::path(s.label).lexically_relative(dir.path()).generic_string());
        EXPECT_EQ(s.path, fs::path(s.label).lexically_normal());
    }
    std::vector<std::string> missing;
    for (const std::string& m : plan.missing) {
        missing.push_back(fs::path(m).lexically_relative(dir.path()).generic_string());
    }
    EXPECT_EQ(sources, c.sources);
    EXPECT_EQ(missing, c.missing);
}

INSTANTIATE_TEST_SUITE_P(GameFolders, GameFolderTest, ::testing::ValuesIn(kGameFolderCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST(GameConfig, EmptyValuesAndUnknownSectionsKeepTheDefaults) {
    const GameConfig config = ParseGameConfig("master_dat=top.dat\n[system]\nmaster_patches=\n");
    EXPECT_EQ(config.masterDat, "master.dat");
    EXPECT_EQ(config.masterPatches, "data");
}

}  // namespace
}  // namespace tarvix
