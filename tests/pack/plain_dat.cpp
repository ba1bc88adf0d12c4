#include "plain_dat.h"

#include <strings.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tarvix::test {
namespace {

std::uint32_t U32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

std::string LayoutError(const PlainDat& dat, std::size_t dataEnd) {
    if (dat.filesTotal != dat.entries.size()) return "FilesTotal differs from the entries";
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const PlainEntry& e : dat.entries) ranges.emplace_back(e.offset, e.offset + e.packedSize);
    std::sort(ranges.begin(), ranges.end());
    std::uint64_t at = 0;
    for (const auto& [begin, end] : ranges) {
        if (begin != at) return "stored bytes overlap or leave a gap at " + std::to_string(at);
        at = end;
    }
    if (at != dataEnd) return "the data area holds unused bytes";
    return {};
}

}  // namespace

PlainDat ReadPlainDat(const std::string& bytes) {
    PlainDat dat;
    if (bytes.size() < 12) {
        dat.layoutError = "too short";
        return dat;
    }
    const std::uint32_t treeSize = U32(bytes, bytes.size() - 8);
    const std::uint32_t dataSize = U32(bytes, bytes.size() - 4);
    if (dataSize != bytes.size() || treeSize + 8 > bytes.size()) {
        dat.layoutError = "DataSize or TreeSize wrong";
        return dat;
    }
    const std::size_t treeStart = bytes.size() - 8 - treeSize;
    dat.filesTotal = U32(bytes, treeStart);
    for (std::size_t at = treeStart + 4; at < bytes.size() - 8;) {
        PlainEntry e;
        const std::uint32_t nameSize = U32(bytes, at);
        e.name = bytes.substr(at + 4, nameSize);
        at += 4 + nameSize;
        e.type = static_cast<std::uint8_t>(bytes.at(at));
        e.realSize = U32(bytes, at + 1);
        e.packedSize = U32(bytes, at + 5);
        e.offset = U32(bytes, at + 9);
        at += 13;
        if (at > bytes.size() - 8) {
            dat.layoutError = "an entry runs into the trailer";
            return dat;
        }
        dat.entries.push_back(e);
    }
    dat.layoutError = LayoutError(dat, treeStart);
    return dat;
}

std::map<std::string, std::string> PlainContents(const std::string& bytes) {
    std::map<std::string, std::string> contents;
    for (const PlainEntry& e : ReadPlainDat(bytes).entries) {
        const std::string stored = bytes.substr(e.offset, e.packedSize);
        std::string content = e.type == 0 ? stored : std::string(e.realSize, '\0');
        if (e.type == 1) {
            uLongf size = e.realSize;
            const int result =
                uncompress(reinterpret_cast<Bytef*>(content.data()), &size,
                           reinterpret_cast<const Bytef*>(stored.data()), stored.size());
            if (result != Z_OK || size != e.realSize) content = "<damaged>";
        }
        if (content.size() != e.realSize) content = "<damaged>";
        contents[e.name] = content;
    }
    return contents;
}

bool InGameOrder(const std::vector<PlainEntry>& entries) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (::strcasecmp(entries[i - 1].name.c_str(), entries[i].name.c_str()) >= 0) return false;
    }
    return true;
}

}  // namespace tarvix::test
