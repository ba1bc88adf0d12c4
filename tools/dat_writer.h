#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datwriter {

// One entry of an archive to make. Every field that a reader trusts can be overridden, so
// tests can make archives that lie.
struct Entry {
    std::string name;  // raw bytes of the Name field
    std::string data;  // stored bytes, laid out in entry order from the start of the file
    std::optional<std::uint32_t> realSize;    // default: data.size()
    std::optional<std::uint32_t> nameSize;    // default: name.size()
    std::optional<std::uint32_t> packedSize;  // default: data.size()
    std::optional<std::uint32_t> offset;      // default: where data was put
    std::uint8_t type = 0;
};

// An entry with every field derived from its name and stored bytes.
Entry Make(std::string name, std::string data = {});

// Whole-file fields; defaults make a valid archive.
struct Layout {
    std::optional<std::uint32_t> filesTotal;  // default: number of entries
    std::optional<std::uint32_t> treeSize;    // default: 4 + entry list size
    std::optional<std::uint32_t> dataSize;    // default: file length
    std::string extraListBytes;               // appended to the entry list (counted in TreeSize)
};

// The bytes of a Fallout 2 DAT file: data area, FilesTotal, entry list, TreeSize, DataSize.
std::string BuildDat(const std::vector<Entry>& entries, const Layout& layout = {});

// Just the entry record, as it appears in the entry list.
std::string EncodeEntry(const Entry& entry, std::uint32_t offset);

bool WriteFile(const std::string& path, const std::string& bytes);

// `content` as one zlib stream, as packed entries store it; level 9 begins it 78 DA.
std::string Zlib(const std::string& content, int level = 9);

// Fallout 1 (DAT1): one file record. Every field a reader trusts can be overridden.
struct Dat1File {
    std::string name;  // raw bytes, at most 255
    std::string data;  // stored bytes, laid out after the directory part in record order
    std::uint32_t attributes = 0x20;          // 0x20 stored, 0x40 LZSS blocks, 0x10 LZSS
    std::optional<std::uint32_t> size;        // default: data.size()
    std::optional<std::uint32_t> packedSize;  // default: 0 when stored, else data.size()
    std::optional<std::uint32_t> offset;      // default: where data was put
    std::optional<std::uint8_t> nameLength;   // default: name.size()
};

// A stored file, and one whose content is packed in LZSS blocks (LzssBlocks' defaults).
Dat1File Dat1Stored(std::string name, std::string content);
Dat1File Dat1Packed(std::string name, const std::string& content);

struct Dat1Directory {
    std::string name;  // "." for the files at the top
    std::vector<Dat1File> files;
    std::optional<std::uint32_t> fileCount = std::nullopt;  // default: files.size()
};

struct Dat1Layout {
    std::optional<std::uint32_t> directoryCount;  // default: the directories given
    std::uint32_t secondWord = 0x0A;              // the header's words the game ignores
    std::string trailing = {};                    // bytes after the last stored data
};

// The bytes of a Fallout 1 DAT file: header, directory names, each directory's records, then
// the stored data, all integers big-endian.
std::string BuildDat1(const std::vector<Dat1Directory>& directories, const Dat1Layout& layout = {});

}  // namespace datwriter
