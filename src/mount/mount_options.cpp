#include "mount/mount_options.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

namespace tarvix::mount {
namespace {

constexpr std::string_view kCacheSize = "--cache-size";
constexpr std::string_view kGame = "--game";

int ShiftOf(char suffix) {
    switch (suffix) {
        case 'K':
        case 'k':
            return 10;
        case 'M':
        case 'm':
            return 20;
        case 'G':
        case 'g':
            return 30;
        default:
            return -1;
    }
}

// Whether a list of mount options ("allow_other,rw") names rw, which would override the
// read-only mount given to FUSE before them.
bool AsksToWrite(std::string_view list) {
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        if (list.substr(at, comma - at) == "rw") return true;
        at = comma + 1;
    }
    return false;
}

// Handles one option that takes a value, given inline ("--cache-size=64M") or as the next
// argument; false with `error` set when it is wrong.
bool TakeCacheSize(const std::vector<std::string>& args, std::size_t& i, MountOptions& options,
                   std::string& error) {
    std::string value;
    if (args[i].size() > kCacheSize.size()) {
        value = args[i].substr(kCacheSize.size() + 1);
    } else if (i + 1 < args.size()) {
        value = args[++i];
    } else {
        error = "--cache-size needs a size";
        return false;
    }
    const std::optional<std::size_t> bytes = ParseByteSize(value);
    if (!bytes) {
        error = "--cache-size: not a size: \"" + value + "\"";
        return false;
    }
    options.settings.cacheBytes = *bytes;
    return true;
}

// --game DIR or --game=DIR; false with `error` set when the folder is missing.
bool TakeGameFolder(const std::vector<std::string>& args, std::size_t& i, MountOptions& options,
                    std::string& error) {
    if (args[i].size() > kGame.size()) {
        options.gameDir = args[i].substr(kGame.size() + 1);
    } else if (i + 1 < args.size()) {
        options.gameDir = args[++i];
    } else {
        error = "--game needs the game's folder";
        return false;
    }
    if (options.gameDir.empty()) error = "--game needs the game's folder";
    return error.empty();
}

}  // namespace

std::optional<std::size_t> ParseByteSize(const std::string& text) {
    std::size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest == text.data()) return std::nullopt;
    if (rest == end) return value;
    const int shift = ShiftOf(*rest);
    if (shift < 0 || rest + 1 != end) return std::nullopt;
    if (value > (std::numeric_limits<std::size_t>::max() >> shift)) return std::nullopt;
    return value << shift;
}

ParsedMountOptions ParseMountOptions(const std::vector<std::string>& args) {
    ParsedMountOptions parsed;
    MountOptions& options = parsed.options;
    std::vector<std::string> operands;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-V" || arg == "--version") {
            options.version = true;
        } else if (arg == "-f") {
            options.foreground = true;
        } else if (arg == "-d") {
            options.debug = options.foreground = true;
        } else if (arg == "--raw") {
            options.settings.raw = true;
        } else if (arg == "-o" || arg.starts_with("-o")) {
            if (arg.size() > 2) {
                options.fuseOptions.push_back(arg.substr(2));
            } else if (i + 1 < args.size()) {
                options.fuseOptions.push_back(args[++i]);
            } else {
                parsed.error = "-o needs mount options";
                return parsed;
            }
            if (AsksToWrite(options.fuseOptions.back())) {
                parsed.error = "-o rw: the mount is read-only";
                return parsed;
            }
        } else if (arg == kCacheSize || arg.starts_with(std::string(kCacheSize) + "=")) {
            if (!TakeCacheSize(args, i, options, parsed.error)) return parsed;
        } else if (arg == kGame || arg.starts_with(std::string(kGame) + "=")) {
            if (!TakeGameFolder(args, i, options, parsed.error)) return parsed;
        } else {
            parsed.error = "unknown option " + arg;
            return parsed;
        }
    }
    if (options.help || options.version) return parsed;
    if (!options.gameDir.empty()) {
        if (operands.size() != 1) parsed.error = "with --game, give only the mount point";
    } else if (operands.size() < 2) {
        parsed.error = "give an archive and a mount point";
    }
    if (!parsed.error.empty()) return parsed;
    options.mountPoint = operands.back();
    operands.pop_back();
    options.sources = std::move(operands);
    return parsed;
}

std::string MountUsage() {
    return R"(Usage: tarvix-mount [OPTIONS] SOURCE... MOUNTPOINT
       tarvix-mount [OPTIONS] --game DIR MOUNTPOINT
Shows a Fallout DAT archive (DAT2 or DAT1), or a stack of archives and
folders, as a read-only folder. With several sources the first that has a
path wins, names compared ignoring case, as the game looks files up;
--game DIR mounts the stack the game in DIR reads. Unmount with
fusermount3 -u MOUNTPOINT.

Options:
  --game DIR          the game's own stack: patch000.dat, the patches
                      folder, critter.dat, master.dat, as its .cfg says
  -f                  stay in the foreground; Ctrl+C unmounts
  -d                  print every request (implies -f)
  -o OPTIONS          mount options for FUSE, e.g. -o allow_other
  --raw               show stored bytes, named as raw extraction names them
  --cache-size SIZE   memory for unpacked small files (default 256M;
                      K, M and G suffixes; 0 keeps none)
  -h, --help          show this help
  -V, --version       show the version
)";
}

}  // namespace tarvix::mount
