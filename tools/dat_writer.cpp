#include "dat_writer.h"

#include <zlib.h>

#include <fstream>

#include "lzss_encoder.h"

namespace datwriter {
namespace {

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU32BE(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutName(std::string& out, const std::string& name, std::optional<std::uint8_t> length) {
    out.push_back(static_cast<char>(length.value_or(static_cast<std::uint8_t>(name.size()))));
    out += name;
}

// Bytes of everything before the stored data, which does not depend on where data goes.
std::size_t Dat1DirectoryBytes(const std::vector<Dat1Directory>& directories) {
    std::size_t bytes = 16;
    for (const Dat1Directory& d : directories) {
        bytes += 1 + d.name.size() + 16;
        for (const Dat1File& f : d.files) bytes += 1 + f.name.size() + 16;
    }
    return bytes;
}

}  // namespace

Dat1File Dat1Stored(std::string name, std::string content) {
    Dat1File f;
    f.name = std::move(name);
    f.data = std::move(content);
    return f;
}

Dat1File Dat1Packed(std::string name, const std::string& content) {
    Dat1File f;
    f.name = std::move(name);
    f.data = LzssBlocks(content);
    f.attributes = 0x40;
    f.size = static_cast<std::uint32_t>(content.size());
    return f;
}

std::string BuildDat1(const std::vector<Dat1Directory>& directories, const Dat1Layout& layout) {
    std::string head;
    PutU32BE(head, layout.directoryCount.value_or(static_cast<std::uint32_t>(directories.size())));
    PutU32BE(head, layout.secondWord);
    PutU32BE(head, 0);
    PutU32BE(head, 0x12345678);
    for (const Dat1Directory& d : directories) PutName(head, d.name, std::nullopt);
    std::string data;
    const std::size_t dataStart = Dat1DirectoryBytes(directories);
    for (const Dat1Directory& d : directories) {
        PutU32BE(head, d.fileCount.value_or(static_cast<std::uint32_t>(d.files.size())));
        PutU32BE(head, 0x0A);
        PutU32BE(head, 0x10);
        PutU32BE(head, 0);
        for (const Dat1File& f : d.files) {
            PutName(head, f.name, f.nameLength);
            const auto stored = static_cast<std::uint32_t>(f.data.size());
            PutU32BE(head, f.attributes);
            PutU32BE(head, f.offset.value_or(static_cast<std::uint32_t>(dataStart + data.size())));
            PutU32BE(head, f.size.value_or(stored));
            PutU32BE(head, f.packedSize.value_or(f.attributes == 0x20 ? 0 : stored));
            data += f.data;
        }
    }
    return head + data + layout.trailing;
}

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
