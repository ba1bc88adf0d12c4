#pragma once

#include <string>
#include <string_view>

namespace tarvix {

// Where the game finds its archives and patch folders: the [system] section of fallout2.cfg
// (or fallout.cfg), paths relative to the game folder. Keys left out keep the defaults.
struct GameConfig {
    std::string masterDat = "master.dat";
    std::string masterPatches = "data";
    std::string critterDat = "critter.dat";
    std::string critterPatches = "data";
};

// Reads the four keys from a configuration file's text. Section and key names are matched
// ignoring case, spaces around names and values do not count, lines starting with ';' or '#'
// are comments, and every other key or section is passed over. A key given twice keeps its
// last value; an empty value keeps the default.
GameConfig ParseGameConfig(std::string_view text);

}  // namespace tarvix
