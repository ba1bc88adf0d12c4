#pragma once

#include <filesystem>
#include <string>

namespace tarvix {

// An archive's internal path made from a path relative to the folder being packed: its
// components joined by `\`, their letters' case kept, in Windows-1252.
struct InternalPath {
    std::string name;     // Windows-1252 bytes; empty when refused
    std::string problem;  // why it is refused, for the user; empty when it is not
};

// Refuses an empty component, `.` or `..`, a backslash or a control character in a component,
// a name that Windows-1252 cannot hold, and a path longer than an entry's name may be.
InternalPath MakeInternalPath(const std::filesystem::path& relative);

// Longest Name an entry gets: the game keeps paths in fixed buffers, and every reader of the
// format copes with this much.
inline constexpr std::size_t kMaxInternalPathBytes = 255;

}  // namespace tarvix
