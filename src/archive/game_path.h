#pragma once

#include <string>
#include <string_view>

namespace tarvix {

// Paths as the game compares them: ASCII A-Z folded to a-z, every other byte (the code page's
// accented letters included) as it is. Two sources name the same file exactly when their paths
// fold to the same bytes.
inline char FoldGameChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldGamePath(std::string_view path);
// Copied first and folded in place: a loop the compiler vectorises, where appending byte by
// byte was a twentieth of building a game-size stack. Any std::basic_string<char>.
template <class String>
void AppendFoldedGamePath(String& out, std::string_view path) {
    const std::size_t start = out.size();
    out.append(path);
    for (std::size_t i = start; i < out.size(); ++i) out[i] = FoldGameChar(out[i]);
}

// <0, 0 or >0 as `a` sorts before, with or after `b`: byte by byte after the folding, a
// prefix first. This is the order the game's own lookups use.
int CompareGamePaths(std::string_view a, std::string_view b);

inline bool SameGamePath(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareGamePaths(a, b) == 0;
}

}  // namespace tarvix
