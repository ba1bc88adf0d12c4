#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix {

// A source the game would read, as found on disk.
struct PlannedSource {
    std::filesystem::path path;  // to open
    std::string label;           // the game folder as given joined with the name found on disk
};

// The stack the game itself reads from a game folder, and what it would read but is not there.
struct GameStackPlan {
    std::vector<PlannedSource> sources;  // in the game's order
    std::vector<std::string> missing;    // the game folder joined with the name configured
};

// Plans the stack of the game installed in `dir`: fallout2.cfg (or, when there is none,
// Fallout 1's fallout.cfg) gives the archives and patch folders (see GameConfig), and the
// order is patch000.dat (Fallout 2 only), the critter patches, the critter archive, the master
// patches and the master archive. Every name is matched on disk ignoring case, component by
// component; a path named twice (both patch keys name "data" by default) is one source, at
// its first place.
GameStackPlan PlanGameStack(const std::filesystem::path& dir);

// The path below `dir` whose components match those of `relative` ('/' or '\' between them)
// ignoring the case of ASCII letters, an exact match first; nothing when one is not there.
// An absolute `relative` is matched from the top of the file system instead.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& dir,
                                                      std::string_view relative);

}  // namespace tarvix
