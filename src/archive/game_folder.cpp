#include "archive/game_folder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <system_error>

#include "archive/archive_file.h"
#include "archive/game_config.h"
#include "archive/game_path.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

// A configuration file is a few kilobytes; reading stops well beyond that, hundreds of times
// the largest real one, so none is ever cut short, and a hostile one costs a megabyte at most.
constexpr std::size_t kConfigLimitBytes = std::size_t{1} << 20;

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// The entry of `folder` named `name` ignoring case: `name` itself when it exists, otherwise
// the first such entry in byte order, so that the choice does not depend on the folder's
// listing order.
std::optional<fs::path> MatchInFolder(const fs::path& folder, const std::string& name) {
    if (Exists(folder / name)) return folder / name;
    std::optional<std::string> best;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (SameGamePath(candidate, name) && (!best || candidate < *best)) best = candidate;
    }
    if (!best) return std::nullopt;
    return folder / *best;
}

struct ConfigFound {
    GameConfig config;
    bool fallout1 = false;
};

// A configuration file that is there but cannot be read sets nothing, so the defaults hold;
// a FIFO, a device or a folder under its name is such a file, and is never waited on.
GameConfig ReadConfig(const fs::path& file) {
    ArchiveFile in;
    if (!in.open(file) || !in.isRegularFile()) return ParseGameConfig({});
    // Read to its end, whatever size it claims (files under /proc say 0), and one byte past
    // the limit, which tells a file that goes on beyond it.
    std::string text;
    std::array<std::uint8_t, 16384> chunk{};
    while (text.size() <= kConfigLimitBytes) {
        const std::size_t want = std::min(chunk.size(), kConfigLimitBytes + 1 - text.size());
        const std::size_t got = in.readAt(text.size(), chunk.data(), want);
        if (got == 0) break;
        text.append(reinterpret_cast<const char*>(chunk.data()), got);
    }
    if (text.size() > kConfigLimitBytes) {
        // Whole lines only: a value cut at the limit would name another file.
        const std::size_t lastEnd = text.rfind('\n');
        text.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }
    return ParseGameConfig(text);
}

ConfigFound FindConfig(const fs::path& dir) {
    if (const auto f2 = MatchInFolder(dir, "fallout2.cfg")) return {ReadConfig(*f2), false};
    if (const auto f1 = MatchInFolder(dir, "fallout.cfg")) return {ReadConfig(*f1), true};
    return {GameConfig{}, false};
}

}  // namespace

std::optional<fs::path> FindIgnoringCase(const fs::path& dir, std::string_view relative) {
    std::string portable(relative);
    for (char& c : portable) {
        if (c == '\\') c = '/';
    }
    fs::path found = !portable.empty() && portable[0] == '/' ? fs::path("/") : dir;
    std::size_t begin = 0;
    while (begin <= portable.size()) {
        std::size_t end = portable.find('/', begin);
        if (end == std::string::npos) end = portable.size();
        const std::string component = portable.substr(begin, end - begin);
        begin = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            found /= component;
            continue;
        }
        const auto match = MatchInFolder(found, component);
        if (!match) return std::nullopt;
        found = *match;
    }
    return found;
}

GameStackPlan PlanGameStack(const fs::path& dir) {
    const ConfigFound found = FindConfig(dir);
    struct Wanted {
        std::string name;
        bool noted;  // whether its absence is worth a note
    };
    std::vector<Wanted> wanted;
    // Fallout 2 writes patch000.dat itself when it first needs it; its absence is normal.
    if (!found.fallout1) wanted.push_back({"patch000.dat", false});
    wanted.push_back({found.config.critterPatches, true});
    wanted.push_back({found.config.critterDat, true});
    wanted.push_back({found.config.masterPatches, true});
    wanted.push_back({found.config.masterDat, true});

    GameStackPlan plan;
    for (const Wanted& w : wanted) {
        const std::optional<fs::path> path = FindIgnoringCase(dir, w.name);
        if (!path) {
            const std::string named = (dir / w.name).string();
            if (w.noted &&
                std::find(plan.missing.begin(), plan.missing.end(), named) == plan.missing.end()) {
                plan.missing.push_back(named);
            }
            continue;
        }
        const fs::path normal = path->lexically_normal();
        bool known = false;
        for (const PlannedSource& s : plan.sources) known = known || s.path == normal;
        if (!known) plan.sources.push_back({normal, path->string()});
    }
    return plan;
}

}  // namespace tarvix
