#pragma once

#include <string_view>

namespace tarvix {

// The order the game's binary search over an archive's entries expects: internal paths
// compared byte by byte after folding ASCII A-Z to a-z, as the C library's case-insensitive
// comparison does. Other Windows-1252 letters are not folded, so "É" and "é" are two paths.
int GameCompare(std::string_view a, std::string_view b);

inline bool GameLess(std::string_view a, std::string_view b) {
    return GameCompare(a, b) < 0;
}
inline bool GameEqual(std::string_view a, std::string_view b) {
    return GameCompare(a, b) == 0;
}

}  // namespace tarvix
