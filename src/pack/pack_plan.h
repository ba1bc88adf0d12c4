#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pack/replace_rule.h"
#include "pack/source_files.h"

namespace tarvix {

// An entry of the old archive that goes into the new one with its stored bytes as they are.
struct KeptEntry {
    std::string name;  // Windows-1252
    std::uint8_t type = 0;
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t offset = 0;  // in the old archive
};

// Everything a new archive is made of.
struct PackPlan {
    std::filesystem::path target;
    ReplaceRule replacing;  // what the new archive may take the place of under that name
    // Permissions of the new file, less the umask: an archive that is replaced keeps its own.
    unsigned mode = 0666;
    int keptFrom = -1;  // the old archive, open for reading, when anything is kept
    std::vector<KeptEntry> kept;
    std::vector<SourceFile> added;  // in the game's order, as ScanSources gives them
};

}  // namespace tarvix
