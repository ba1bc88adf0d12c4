#include "extract/entry_extractor.h"

#include <cerrno>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/entry_unpacker.h"
#include "extract/output_folders.h"
#include "extract/safe_path.h"
#include "extract/stored_stream.h"
#include "extract/temporary_file.h"

namespace tarvix {
namespace {

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

// The stored bytes, from the chunk already read on; with the gzip header and name in front of
// the deflate data instead of the zlib header when `gzip`.
StreamResult WriteStored(StoredBytes& stored, std::string_view gzipName, bool gzip,
                         TemporaryFile& out, const BatchMonitor* monitor) {
    std::size_t skip = 0;
    if (gzip) {
        std::string header(kGzipHeader.begin(), kGzipHeader.end());
        header.append(gzipName).push_back('\0');
        if (!out.write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size()))
            return StreamResult::OutputFailed;
        skip = 2;  // the zlib header
    }
    return CopyStored(
        stored,
        [&out, &skip](const std::uint8_t* data, std::size_t size) {
            const bool ok = out.write(data + skip, size - skip);
            skip = 0;
            return ok;
        },
        monitor);
}

// How an entry's output is made.
enum class Writing { Stored, Gzip, Unpack };

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

std::string UnknownPackingOutcome(std::uint32_t type) {
    return "Unknown packing (Type " + std::to_string(type) + ")";
}

EntryExtractor::EntryExtractor(const DatArchive& archive, const EntryTable& table,
                               const ExtractTarget& target, ExtractShared* shared, unsigned worker)
    : archive_(archive),
      table_(table),
      target_(target),
      monitor_(shared ? shared->monitor : nullptr),
      worker_(worker),
      folders_(std::make_unique<OutputFolders>(target.destination)),
      unpacker_(std::make_unique<EntryUnpacker>()) {}

EntryExtractor::~EntryExtractor() = default;

std::string EntryExtractor::extract(EntryIndex index) {
    const EntryInfo info = GetEntryInfo(table_, index);
    if (std::uint64_t{info.offset} + info.storedSize > archive_.dataSize())
        return kOutcomeCannotRead;
    StoredBytes stored(archive_, info, monitor_);
    if (!stored.readNext()) return kOutcomeCannotRead;

    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    const std::optional<std::string_view> folder = FolderFor(target_, info.name);
    std::vector<std::string_view> components;
    if (!IsSafeComponent(fileName)) return CannotWrite(info);
    if (folder && !FolderComponents(*folder, components)) return CannotWrite(info);

    Writing writing = Writing::Stored;
    if (!target_.unpack) {
        if (info.format == ArchiveFormat::Dat2 &&
            BeginsWithBestZlibHeader(stored.data(), stored.size())) {
            writing = Writing::Gzip;
        }
    } else if (info.packing == PackingKind::Unknown) {
        return UnknownPackingOutcome(info.type);
    } else if (info.packing != PackingKind::Stored) {
        writing = Writing::Unpack;
    }
    std::string outName = Cp1252ToUtf8(fileName);
    if (writing == Writing::Gzip) outName += ".gz";

    MadeFolders made;
    TemporaryFile out;
    if (!open(folder.value_or(std::string_view()), components, made, out)) {
        made.removeAll();
        return CannotWrite(info);
    }
    StreamResult result =
        writing == Writing::Unpack
            ? unpacker_->unpack(
                  archive_, info, stored,
                  [&out](const std::uint8_t* data, std::size_t size) {
                      return out.write(data, size);
                  },
                  monitor_)
            : WriteStored(stored, fileName, writing == Writing::Gzip, out, monitor_);
    if (result == StreamResult::Ok) {
        if (out.commit(outName)) return kOutcomeOk;
        result = StreamResult::OutputFailed;
    }
    out.discard();
    made.removeAll();
    return Outcome(result, info);
}

bool EntryExtractor::open(std::string_view folder, const std::vector<std::string_view>& components,
                          MadeFolders& made, TemporaryFile& out) {
    // Another entry's clean-up may remove a folder on the way just after this walk entered it:
    // nothing can be made in it then (ENOENT), and a fresh walk makes it again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int dir = folders_->enter(folder, components, made);
        if (dir >= 0 && out.create(dir, worker_)) return true;
        if (errno != ENOENT) return false;
        folders_->forget();
    }
    return false;
}

std::string ExtractEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target, ExtractShared* shared) {
    return EntryExtractor(archive, table, target, shared).extract(index);
}

}  // namespace tarvix
