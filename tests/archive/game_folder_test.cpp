#include "archive/game_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "archive/game_config.h"
#include "support/temp_dir.h"
#include "support/without_waiting.h"

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

constexpr std::size_t kConfigLimit = std::size_t{1} << 20;

// `line` after as many comment lines as put its first `before` bytes just within the 1 MiB
// that are read of a configuration file.
std::string ConfigCrossingTheLimit(const std::string& line, std::size_t before) {
    std::string text = "[system]\n";
    while (text.size() + 4098 <= kConfigLimit - before) text += ";" + std::string(4094, 'x') + "\n";
    text += ";" + std::string(kConfigLimit - before - text.size() - 2, 'y') + "\n";
    return text + line + "\n";
}

void WriteText(const fs::path& at, const std::string& text) {
    std::ofstream(at, std::ios::binary) << text;
}

// What stands under a configuration file's name: one that cannot be read sets nothing, as
// ever, and none is waited on.
struct ConfigKindCase {
    const char* title;
    const char* name;
    std::function<void(const fs::path& at)> make;
    std::vector<std::string> sources;
};

const std::vector<std::string> kDefaultSources = {"patch000.dat", "data", "critter.dat",
                                                  "master.dat"};

const ConfigKindCase kConfigKindCases[] = {
    {"Fallout2CfgThatIsAFifo", "fallout2.cfg",
     [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, kDefaultSources},
    {"FalloutCfgThatIsAFifoStillMeansFalloutOne",
     "fallout.cfg",
     [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); },
     {"data", "critter.dat", "master.dat"}},
    {"Fallout2CfgThatIsAFolder", "fallout2.cfg",
     [](const fs::path& at) { fs::create_directory(at); }, kDefaultSources},
    {"OverLongCfgKeepsWhatComesBeforeTheLimit",
     "fallout2.cfg",
     [](const fs::path& at) {
         WriteText(at, "[system]\nmaster_dat=other.dat\n" + std::string(kConfigLimit, ';'));
     },
     {"patch000.dat", "data", "critter.dat", "other.dat"}},
    {"OverLongCfgDropsALineCutByTheLimit", "fallout2.cfg",
     [](const fs::path& at) {
         // Cut at the limit, the value would read "other.dat".
         WriteText(at, ConfigCrossingTheLimit("master_dat=other.dat.old", 20));
     },
     kDefaultSources},
    {"OverLongCfgKeepsALineEndingJustPastTheLimit",
     "fallout2.cfg",
     [](const fs::path& at) { WriteText(at, ConfigCrossingTheLimit("master_dat=other.dat", 20)); },
     {"patch000.dat", "data", "critter.dat", "other.dat"}},
};

class ConfigKindTest : public ::testing::TestWithParam<ConfigKindCase> {};

TEST_P(ConfigKindTest, AnUnreadableConfigSetsNothingAndIsNotWaitedOn) {
    test::TempDir dir;
    for (const char* file : {"patch000.dat", "critter.dat", "master.dat", "other.dat"}) {
        dir.write(file, "");
    }
    fs::create_directory(dir / "data");
    const fs::path config = dir / GetParam().name;
    GetParam().make(config);
    const GameStackPlan plan =
        test::WithoutWaitingOn(config, [&] { return PlanGameStack(dir.path()); });
    std::vector<std::string> sources;
    for (const PlannedSource& s : plan.sources) {
        sources.push_back(fs::path(s.label).lexically_relative(dir.path()).generic_string());
    }
    EXPECT_EQ(sources, GetParam().sources);
    EXPECT_TRUE(plan.missing.empty());
}

INSTANTIATE_TEST_SUITE_P(ConfigKinds, ConfigKindTest, ::testing::ValuesIn(kConfigKindCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST(GameConfig, EmptyValuesAndUnknownSectionsKeepTheDefaults) {
    const GameConfig config = ParseGameConfig("master_dat=top.dat\n[system]\nmaster_patches=\n");
    EXPECT_EQ(config.masterDat, "master.dat");
    EXPECT_EQ(config.masterPatches, "data");
}

}  // namespace
}  // namespace tarvix
