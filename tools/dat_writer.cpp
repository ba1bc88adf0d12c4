#include "dat_writer.h"

#include <zlib.h>

#include <fstream>

namespace datwriter {
namespace {

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Entry Make(std::string name, std::string data) {
    Entry e;
    e.name = std::move(name);
    e.data = std::move(data);
    return e;
}

std::string EncodeEntry(const Entry& e, std::uint32_t offset) {
    std::string out;
    PutU32(out, e.nameSize.value_or(static_cast<std::uint32_t>(e.name.size())));
    out += e.name;
    out.push_back(static_cast<char>(e.type));
    PutU32(out, e.realSize.value_or(static_cast<std::uint32_t>(e.data.size())));
    PutU32(out, e.packedSize.value_or(static_cast<std::uint32_t>(e.data.size())));
    PutU32(out, e.offset.value_or(offset));
    return out;
}

std::string BuildDat(const std::vector<Entry>& entries, const Layout& layout) {
    std::string file;
    std::string list;
    for (const Entry& e : entries) {
        list += EncodeEntry(e, static_cast<std::uint32_t>(file.size()));
        file += e.data;
    }
    list += layout.extraListBytes;
    PutU32(file, layout.filesTotal.value_or(static_cast<std::uint32_t>(entries.size())));
    file += list;
    PutU32(file, layout.treeSize.value_or(static_cast<std::uint32_t>(list.size() + 4)));
    PutU32(file, layout.dataSize.value_or(static_cast<std::uint32_t>(file.size() + 4)));
    return file;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string Zlib(const std::string& content, int level) {
    uLongf size = compressBound(static_cast<uLong>(content.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()),
              level);
    out.resize(size);
    return out;
}

}  // namespace datwriter
