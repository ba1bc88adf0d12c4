#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "mount/mounted_files.h"

namespace tarvix::mount {

// tarvix-mount's command line.
struct MountOptions {
    std::vector<std::string> sources;  // in the stack's order; none with --game
    std::string gameDir;               // --game: the stack the game in it reads
    std::string mountPoint;
    bool foreground = false;
    bool debug = false;  // libfuse's trace of every request; stays in the foreground
    std::vector<std::string> fuseOptions;  // each -o value, handed to libfuse as it is
    MountSettings settings;
    bool help = false;
    bool version = false;
};

struct ParsedMountOptions {
    MountOptions options;
    std::string error;  // why the command line is wrong; empty when it is right
};

ParsedMountOptions ParseMountOptions(const std::vector<std::string>& args);

// "64M", "1G", "4096", "512K": bytes, with an optional binary suffix; nothing when malformed
// or beyond what a size_t holds.
std::optional<std::size_t> ParseByteSize(const std::string& text);

// The text of --help.
std::string MountUsage();

}  // namespace tarvix::mount
