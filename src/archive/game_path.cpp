#include "archive/game_path.h"

namespace tarvix {

std::string FoldGamePath(std::string_view path) {
    std::string folded;
    AppendFoldedGamePath(folded, path);
    return folded;
}

int CompareGamePaths(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(FoldGameChar(a[i]));
        const auto y = static_cast<unsigned char>(FoldGameChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace tarvix
