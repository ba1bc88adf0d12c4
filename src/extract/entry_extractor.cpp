#include "extract/entry_extractor.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/new_file.h"
#include "extract/safe_path.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

std::string CannotWrite(const EntryInfo& info) {
    return "Cannot write " + Cp1252ToUtf8(info.name);
}

bool IsZlibStream(const std::uint8_t* data, std::size_t size) {
    return size >= 2 && data[0] == 0x78 && data[1] == 0xDA;
}

// The components of `folder` that make folders; empty ones (from "\\" or a leading
// backslash) make none. False when any component is unsafe.
bool FolderComponents(std::string_view folder, std::vector<std::string_view>& out) {
    for (;;) {
        const auto slash = folder.find('\\');
        const std::string_view component = folder.substr(0, slash);
        if (!component.empty()) {
            if (!IsSafeComponent(component)) return false;
            out.push_back(component);
        }
        if (slash == std::string_view::npos) return true;
        folder.remove_prefix(slash + 1);
    }
}

// Enters or creates each folder below `dir`. An existing link or non-folder stops it, so
// nothing outside the destination is followed into.
bool MakeFolders(fs::path& dir, const std::vector<std::string_view>& components) {
    for (std::string_view component : components) {
        dir /= ComponentToPath(component);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(dir, ec);
        if (status.type() == fs::file_type::not_found) {
            if (!fs::create_directory(dir, ec) && ec) return false;
        } else if (status.type() != fs::file_type::directory) {
            return false;
        }
    }
    return true;
}

// A fresh temporary file in the output's folder. Its name does not grow with the output's,
// so any name that fits the file system also fits while it is being written.
std::FILE* CreateTemporary(const fs::path& dir, fs::path& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = dir / (".tarvix-" + std::to_string(attempt) + ".part");
        if (std::FILE* f = CreateNewFile(tempPath)) return f;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(tempPath, ec))) return nullptr;  // not a name clash
    }
    return nullptr;
}

enum class CopyResult { Ok, ReadFailed, WriteFailed };

// Writes the output's bytes: the first chunk is already in `buffer`.
CopyResult WriteContent(DatArchive& archive, const EntryInfo& info, std::string_view fileName,
                        std::vector<std::uint8_t>& buffer, std::size_t firstChunk, bool gzip,
                        std::FILE* out) {
    std::size_t skip = 0;
    if (gzip) {
        if (std::fwrite(kGzipHeader.data(), 1, kGzipHeader.size(), out) != kGzipHeader.size() ||
            std::fwrite(fileName.data(), 1, fileName.size(), out) != fileName.size() ||
            std::fputc(0, out) == EOF) {
            return CopyResult::WriteFailed;
        }
        skip = 2;  // the zlib header
    }
    std::uint64_t done = 0;
    std::size_t chunk = firstChunk;
    for (;;) {
        if (std::fwrite(buffer.data() + skip, 1, chunk - skip, out) != chunk - skip) {
            return CopyResult::WriteFailed;
        }
        done += chunk;
        skip = 0;
        if (done == info.packedSize) return CopyResult::Ok;
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, info.packedSize - done));
        chunk = archive.readAt(std::uint64_t{info.offset} + done, buffer.data(), want);
        if (chunk != want) return CopyResult::ReadFailed;
    }
}

}  // namespace

std::string ExtractEntry(DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target) {
    const EntryInfo info = GetEntryInfo(table, index);
    if (std::uint64_t{info.offset} + info.packedSize > archive.dataSize())
        return kOutcomeCannotRead;

    std::vector<std::uint8_t> buffer(kChunkBytes);
    const auto firstChunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, info.packedSize));
    if (archive.readAt(info.offset, buffer.data(), firstChunk) != firstChunk)
        return kOutcomeCannotRead;

    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    std::vector<std::string_view> folders;
    if (!IsSafeComponent(fileName)) return CannotWrite(info);
    if (target.preservedFolder && !FolderComponents(*target.preservedFolder, folders)) {
        return CannotWrite(info);
    }

    fs::path dir = target.destination;
    if (!MakeFolders(dir, folders)) return CannotWrite(info);

    const bool gzip = IsZlibStream(buffer.data(), firstChunk);
    fs::path outName = ComponentToPath(fileName);
    if (gzip) outName += ".gz";

    fs::path tempPath;
    std::FILE* out = CreateTemporary(dir, tempPath);
    if (!out) return CannotWrite(info);

    CopyResult result = WriteContent(archive, info, fileName, buffer, firstChunk, gzip, out);
    if (std::fclose(out) != 0 && result == CopyResult::Ok) result = CopyResult::WriteFailed;

    std::error_code ec;
    if (result == CopyResult::Ok) {
        fs::rename(tempPath, dir / outName, ec);
        if (!ec) return kOutcomeOk;
        result = CopyResult::WriteFailed;
    }
    fs::remove(tempPath, ec);
    return result == CopyResult::ReadFailed ? kOutcomeCannotRead : CannotWrite(info);
}

}  // namespace tarvix
