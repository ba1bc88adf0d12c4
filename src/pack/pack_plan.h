#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "extract/batch_monitor.h"
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
    // Permissions of the new file, less the umask: an archive that is replaced keeps its own.
    unsigned mode = 0666;
    int keptFrom = -1;  // the old archive, open for reading, when anything is kept
    std::vector<KeptEntry> kept;
    std::vector<SourceFile> added;  // in the game's order, as ScanSources gives them
};

struct PackOptions {
    int level = 9;         // 0 stores everything
    unsigned threads = 0;  // packing workers; 0 for one per core
    // Files larger than this are packed as a stream, one chunk at a time, so that memory does
    // not grow with the files' sizes.
    std::uint64_t streamAbove = std::uint64_t{4} << 20;
    BatchMonitor* monitor = nullptr;  // progress (bytes read) and cancel
};

struct PackReport {
    bool written = false;    // the new archive has the target's name
    bool cancelled = false;  // stopped on request; nothing written
    std::string error;       // why nothing was written, for the user
    std::size_t entries = 0;
    std::uint64_t size = 0;  // of the new archive
};

// What the new archive would at most weigh, and whether that fits the format's 32-bit sizes:
// empty when it does, else why not. Checked before anything is written.
std::string SizeProblem(const PackPlan& plan);

// Writes the archive: the kept entries' stored bytes copied in their old order, then the added
// files packed on every core, then the entry list in the game's order and the trailer. The
// bytes depend only on the plan and the level, never on the number of workers.
PackReport WriteArchive(const PackPlan& plan, const PackOptions& options);

}  // namespace tarvix
