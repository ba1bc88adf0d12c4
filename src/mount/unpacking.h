#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mount/effective_entries.h"

namespace tarvix::mount {

// An entry's content unpacked whole, in memory.
struct UnpackedContent {
    std::vector<std::uint8_t> bytes;  // what unpacking gave before any failure
    // How many leading bytes may be handed out: all of them once every check passed; else
    // those before the failure, and never the last byte, which is only ever returned verified.
    std::size_t soundBytes = 0;
    std::string problem;  // why not all of them, as extraction words it; empty when sound
};

// The one place where the mount unpacks an entry whole with the core's unpackers, by the
// rules extraction unpacks by: stored bytes as they are; a zlib stream that must end exactly
// at the end of the stored bytes, with a valid Adler-32, giving exactly `realSize` bytes. No
// buffer is sized beyond `realSize` + 1, whatever the stream would give.
UnpackedContent UnpackWhole(Packing packing, std::uint32_t rawType,
                            std::span<const std::uint8_t> stored, std::uint32_t realSize);

// "Unknown packing (Type <n>)", or the like for a packing this build cannot unpack.
std::string CannotUnpackProblem(Packing packing, std::uint32_t rawType);

}  // namespace tarvix::mount
