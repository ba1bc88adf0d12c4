#include "archive/game_config.h"

#include <array>
#include <utility>

#include "archive/game_path.h"

namespace tarvix {
namespace {

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(kSpace);
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

}  // namespace

GameConfig ParseGameConfig(std::string_view text) {
    GameConfig config;
    const std::array<std::pair<std::string_view, std::string*>, 4> keys = {{
        {"master_dat", &config.masterDat},
        {"master_patches", &config.masterPatches},
        {"critter_dat", &config.critterDat},
        {"critter_patches", &config.critterPatches},
    }};
    bool inSystem = false;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            inSystem = close != std::string_view::npos &&
                       SameGamePath(Trimmed(line.substr(1, close - 1)), "system");
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSystem || equals == std::string_view::npos) continue;
        const std::string_view key = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        for (const auto& [name, field] : keys) {
            if (SameGamePath(key, name) && !value.empty()) *field = value;
        }
    }
    return config;
}

}  // namespace tarvix
