#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/source_stack.h"

namespace tarvix {

// What was refused when a game's stack could not be opened.
enum class GameStackRefusal { None, NotAFolder, NoSources, Source };

// The stack the game installed in a folder reads (PlanGameStack), opened and built, or why not.
struct OpenedGameStack {
    std::unique_ptr<SourceStack> stack;  // null when refused
    std::string error;                   // why, for the user, when refused
    std::vector<std::string> missing;    // sources the game would read that are not there
    GameStackRefusal refusal = GameStackRefusal::None;
    // For a refused source: its label and the reason alone, for front-ends that word the
    // refusal their own way.
    std::string refusedSource;
    std::string refusedReason;
};

struct GameStackOptions {
    // False leaves the union unbuilt, for SourceStack::lookUp alone: a few lookups cost less
    // than the union.
    bool build = true;
    // False opens a folder that holds none of the game's sources as an empty stack.
    bool refuseEmpty = true;
    // False leaves the sizes of folder sources' files 0, for lookups of names alone.
    bool measureFiles = true;
};

// Refused when `dir` is not a folder, when a source is there but cannot be opened ("<source>:
// <reason>"), and, unless the options say otherwise, when none of the game's sources is there
// at all: a stack of nothing is more likely the wrong folder than a game.
OpenedGameStack OpenGameStack(const std::filesystem::path& dir,
                              const GameStackOptions& options = {});

namespace messages {
inline constexpr const char* kNotAFolder = "is not a folder";
inline constexpr const char* kNoGameSources = "holds none of the game's archives or folders";
}  // namespace messages

}  // namespace tarvix
