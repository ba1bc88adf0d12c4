#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mount/stored_entry.h"

namespace tarvix::mount {

// An entry's content unpacked whole, in memory.
struct UnpackedContent {
    std::vector<std::uint8_t> bytes;  // what unpacking gave before any failure
    // How many leading bytes may be handed out: all of them once every check passed; else
    // those before the failure, and never the last byte, which is only ever returned verified.
    std::size_t soundBytes = 0;
    std::string problem;  // why not all of them, as extraction words it; empty when sound
};

// The one place where the mount unpacks an entry whole: through the core's EntryUnpacker, by
// the rules extraction unpacks by (stored bytes as they are; zlib to its Adler-32; LZSS blocks
// or one stream; exactly RealSize bytes from exactly the stored bytes). No buffer is sized
// beyond the entry's content, whatever its stored bytes would give. The caller keeps entries
// this large to the whole-entry limit.
UnpackedContent UnpackWhole(const StoredEntry& stored);

}  // namespace tarvix::mount
