#pragma once

namespace tarvix {

// Which game's archive layout a file has. Both reach the rest of the program through the same
// entry list layout (see DatArchive), so only loading and the packing rules need to know.
enum class ArchiveFormat {
    Dat2,  // Fallout 2: little-endian, entry list and trailer at the end
    Dat1,  // Fallout 1: big-endian, directories and records at the start
};

// "Fallout 1 (DAT1)" or "Fallout 2 (DAT2)".
inline const char* FormatName(ArchiveFormat format) {
    return format == ArchiveFormat::Dat1 ? "Fallout 1 (DAT1)" : "Fallout 2 (DAT2)";
}

}  // namespace tarvix
