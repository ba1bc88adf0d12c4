#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tarvix::bench {

// What a synthetic archive looks like. Names are uppercase 8.3 ("ART\CRITTERS\HMJMPSAA.FRM"),
// folder paths are 1 to maxDepth components deep, and most entries are real zlib streams
// (Type 1, 78 DA) of text that unpacks to three times its stored size.
struct ArchiveShape {
    std::string key;              // file name stem in the work folder
    std::size_t entries = 0;      // every folder holds at least one file
    std::size_t folders = 0;      // distinct folder paths, intermediate ones included
    std::uint32_t maxDepth = 4;   // deepest folder path, in components
    bool interleaved = false;     // a folder's files spread through the directory
    std::size_t bigFolder = 0;    // files of one extra-large folder (BIGFOLDR), 0 for none
    std::uint32_t meanBytes = 0;  // stored bytes per entry, on average
    bool fixedSize = false;       // every entry exactly meanBytes long
    unsigned zlibPercent = 90;    // share of entries packed with zlib
};

// The shapes the benchmarks measure; `scale` divides entry and folder counts (1 = full size,
// larger for quick smoke runs).
ArchiveShape RealisticShape(bool interleaved, std::size_t scale = 1);
ArchiveShape LargeShape(bool interleaved, std::size_t scale = 1);
ArchiveShape ReferenceShape(std::size_t scale = 1);
ArchiveShape ExtractionShape(std::size_t scale = 1);
ArchiveShape BigEntriesShape(std::size_t scale = 1);
ArchiveShape EmptyShape();

struct GeneratedArchive {
    std::filesystem::path path;
    std::size_t entries = 0;
    std::size_t folders = 0;
    std::uint64_t entryListBytes = 0;  // TreeSize - 4: what the program holds in memory
    std::uint64_t fileBytes = 0;
    std::string bigFolderPath;  // backslash path of the extra-large folder, if any
};

// Writes the archive for `shape` into `workDir` (or reuses one written before by the same
// generator version). Stored data is streamed to disk; only the entry list is held in memory.
// The same shape always gives the same bytes.
GeneratedArchive EnsureArchive(const ArchiveShape& shape, const std::filesystem::path& workDir);

}  // namespace tarvix::bench
