#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvix::test {

// A DAT2 file read the plain way, by this test's own code rather than TARVIX's reader, so that
// a fault shared by the writer and the reader cannot hide.
struct PlainEntry {
    std::string name;
    std::uint8_t type = 0;
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t offset = 0;
};

struct PlainDat {
    std::vector<PlainEntry> entries;  // in directory order
    std::uint32_t filesTotal = 0;
    std::string layoutError;  // empty when FilesTotal, TreeSize and DataSize are exact and the
                              // stored bytes fill the data area exactly, each byte once
};

PlainDat ReadPlainDat(const std::string& bytes);

// Every entry's content (inflated with zlib's own uncompress when Type is 1), by name; an
// entry that does not give exactly its RealSize maps to "<damaged>".
std::map<std::string, std::string> PlainContents(const std::string& bytes);

// Whether the entries are in the game's order: strictly increasing under strcasecmp on ASCII.
bool InGameOrder(const std::vector<PlainEntry>& entries);

}  // namespace tarvix::test
