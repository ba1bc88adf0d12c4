#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/source_stack.h"

namespace tarvix {

// The stack the game installed in a folder reads (PlanGameStack), opened and built, or why not.
struct OpenedGameStack {
    std::unique_ptr<SourceStack> stack;  // null when refused
    std::string error;                   // why, for the user, when refused
    std::vector<std::string> missing;    // sources the game would read that are not there
};

// Refused when `dir` is not a folder, when a source is there but cannot be opened ("<source>:
// <reason>"), and when none of the game's sources is there at all: a stack of nothing is
// more likely the wrong folder than a game.
OpenedGameStack OpenGameStack(const std::filesystem::path& dir);

namespace messages {
inline constexpr const char* kNotAFolder = "is not a folder";
inline constexpr const char* kNoGameSources = "holds none of the game's archives or folders";
}  // namespace messages

}  // namespace tarvix
