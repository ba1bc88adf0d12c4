#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/source_files.h"

namespace tarvix {

class BatchMonitor;

// A file's content as an entry stores it.
struct PackedFile {
    std::vector<std::uint8_t> bytes;  // what goes into the data area
    std::uint8_t type = 0;            // 0 stored, 1 zlib
    std::uint32_t realSize = 0;
    std::string error;  // why it could not be read; the archive is then not written
};

// Reads `file` whole and packs it at `level` (stored when packing does not make it smaller, or
// at level 0). Fails when the file is no longer the regular file of the size it had when found.
PackedFile PackFile(const SourceFile& file, int level);

// Opens `file` for reading, refusing a link or anything but a regular file of the size it had
// when found. -1 with `error` set when it cannot.
int OpenSource(const SourceFile& file, std::string& error);

}  // namespace tarvix
