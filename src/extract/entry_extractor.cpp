#include "extract/entry_extractor.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/new_file.h"
#include "extract/safe_path.h"
#include "extract/stored_stream.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

std::string CannotWrite(const EntryInfo& info) {
    return "Cannot write " + Cp1252ToUtf8(info.name);
}

bool BeginsWithBestZlibHeader(const std::uint8_t* data, std::size_t size) {
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

// The folders one entry made on its way to its file, so that a failure can take them away
// again: deepest first, and each only while empty, so nothing that another entry or anyone
// else put there is touched.
class MadeFolders {
public:
    // Enters or creates each folder below `dir`. An existing link or non-folder stops it, so
    // nothing outside the destination is followed into.
    bool make(fs::path& dir, const std::vector<std::string_view>& components) {
        for (std::string_view component : components) {
            dir /= ComponentToPath(component);
            std::error_code ec;
            const fs::file_status status = fs::symlink_status(dir, ec);
            if (status.type() == fs::file_type::not_found) {
                if (fs::create_directory(dir, ec)) {
                    made_.push_back(dir);
                } else if (ec) {
                    return false;
                }
            } else if (status.type() != fs::file_type::directory) {
                return false;
            }
        }
        return true;
    }

    void removeAll() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            std::error_code ec;
            fs::remove(*it, ec);  // fails, and so keeps it, when anything is inside
        }
        made_.clear();
    }

private:
    std::vector<fs::path> made_;
};

// A fresh temporary file in the output's folder. Its name does not grow with the output's,
// so any name that fits the file system also fits while it is being written.
std::FILE* CreateTemporary(const fs::path& dir, fs::path& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = dir / (".tarvix-" + std::to_string(attempt) + ".part");
        if (std::FILE* f = CreateNewFile(tempPath)) return f;
        // Only a name clash is worth another name; another worker's temporary file may have
        // been renamed away by now, so the error says it, not a look at the name.
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

bool Write(std::FILE* out, const void* data, std::size_t size) {
    return std::fwrite(data, 1, size, out) == size;
}

ChunkSink FileSink(std::FILE* out) {
    return [out](const std::uint8_t* data, std::size_t size) { return Write(out, data, size); };
}

// The stored bytes, from the chunk already read on; with the gzip header and name in front of
// the deflate data instead of the zlib header when `gzip`.
StreamResult WriteStored(StoredBytes& stored, std::string_view gzipName, bool gzip, std::FILE* out,
                         const BatchMonitor* monitor) {
    std::size_t skip = 0;
    if (gzip) {
        if (!Write(out, kGzipHeader.data(), kGzipHeader.size()) ||
            !Write(out, gzipName.data(), gzipName.size()) || std::fputc(0, out) == EOF) {
            return StreamResult::OutputFailed;
        }
        skip = 2;  // the zlib header
    }
    return CopyStored(
        stored,
        [out, &skip](const std::uint8_t* data, std::size_t size) {
            const bool ok = Write(out, data + skip, size - skip);
            skip = 0;
            return ok;
        },
        monitor);
}

// How an entry's output is made.
enum class Writing { Stored, Gzip, Inflate };

std::string Outcome(StreamResult result, const EntryInfo& info) {
    if (result == StreamResult::OutputFailed) return CannotWrite(info);
    return StreamOutcome(result);
}

// The folder path an entry is written below, if any.
std::optional<std::string_view> FolderFor(const ExtractTarget& target, std::string_view name) {
    if (!target.ownFolders) {
        if (!target.preservedFolder) return std::nullopt;
        return std::string_view(*target.preservedFolder);
    }
    const auto slash = name.rfind('\\');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string_view folder = name.substr(0, slash);
    if (folder.starts_with(target.droppedPrefix)) folder.remove_prefix(target.droppedPrefix.size());
    return folder;
}

}  // namespace

std::string OutputPathOf(const ExtractTarget& target, std::string_view name) {
    std::string path;
    if (const auto folder = FolderFor(target, name)) {
        for (std::string_view rest = *folder;;) {
            const auto slash = rest.find('\\');
            const std::string_view component = rest.substr(0, slash);
            if (!component.empty()) path.append(component).push_back('\\');
            if (slash == std::string_view::npos) break;
            rest.remove_prefix(slash + 1);
        }
    }
    return path.append(SplitFolderAndFile(name).file);
}

std::string StreamOutcome(StreamResult result) {
    switch (result) {
        case StreamResult::Ok:
            return kOutcomeOk;
        case StreamResult::ReadFailed:
            return kOutcomeCannotRead;
        case StreamResult::Damaged:
            return kOutcomeDamaged;
        case StreamResult::NoMemory:
            return kOutcomeNoMemory;
        case StreamResult::Cancelled:
            return kOutcomeCancelled;
        case StreamResult::OutputFailed:
            break;
    }
    return "Cannot write";
}

std::string UnknownPackingOutcome(std::uint8_t type) {
    return "Unknown packing (Type " + std::to_string(type) + ")";
}

std::string ExtractEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target, ExtractShared* shared) {
    const EntryInfo info = GetEntryInfo(table, index);
    if (std::uint64_t{info.offset} + info.packedSize > archive.dataSize())
        return kOutcomeCannotRead;
    BatchMonitor* monitor = shared ? shared->monitor : nullptr;
    StoredBytes stored(archive, info, monitor);
    if (!stored.readNext()) return kOutcomeCannotRead;

    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    std::vector<std::string_view> folders;
    if (!IsSafeComponent(fileName)) return CannotWrite(info);
    if (const auto folder = FolderFor(target, info.name);
        folder && !FolderComponents(*folder, folders)) {
        return CannotWrite(info);
    }

    Writing writing = Writing::Stored;
    if (!target.unpack) {
        if (BeginsWithBestZlibHeader(stored.data(), stored.size())) writing = Writing::Gzip;
    } else if (info.type == kTypeZlib) {
        writing = Writing::Inflate;
    } else if (info.type != kTypeStored) {
        return UnknownPackingOutcome(info.type);
    }
    fs::path outName = ComponentToPath(fileName);
    if (writing == Writing::Gzip) outName += ".gz";

    std::mutex lone;
    std::mutex& folderLock = shared ? shared->folders : lone;
    MadeFolders made;
    fs::path dir = target.destination;
    fs::path tempPath;
    std::FILE* out = nullptr;
    {
        const std::lock_guard lock(folderLock);
        if (made.make(dir, folders)) out = CreateTemporary(dir, tempPath);
        if (!out) {
            made.removeAll();
            return CannotWrite(info);
        }
    }

    StreamResult result =
        writing == Writing::Inflate
            ? InflateStored(stored, info.realSize, FileSink(out), monitor)
            : WriteStored(stored, fileName, writing == Writing::Gzip, out, monitor);
    if (std::fclose(out) != 0 && result == StreamResult::Ok) result = StreamResult::OutputFailed;

    std::error_code ec;
    if (result == StreamResult::Ok) {
        fs::rename(tempPath, dir / outName, ec);
        if (!ec) return kOutcomeOk;
        result = StreamResult::OutputFailed;
    }
    fs::remove(tempPath, ec);
    const std::lock_guard lock(folderLock);
    made.removeAll();
    return Outcome(result, info);
}

}  // namespace tarvix
