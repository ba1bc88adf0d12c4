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

std::string GzipHeader(std::string_view gzipName) {
    std::string header(kGzipHeader.begin(), kGzipHeader.end());
    header.append(gzipName).push_back('\0');
    return header;
}

// The stored bytes, from the chunk already read on; with the gzip header and name in front of
// the deflate data instead of the zlib header when `gzip`.
StreamResult WriteStored(StoredBytes& stored, std::string_view gzipName, bool gzip,
                         TemporaryFile& out, const BatchMonitor* monitor) {
    std::size_t skip = 0;
    if (gzip) {
        const std::string header = GzipHeader(gzipName);
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

EntryOutcome OutcomeOf(StreamResult result, int writeError) {
    switch (result) {
        case StreamResult::Ok:
            return {};
        case StreamResult::ReadFailed:
            return {OutcomeKind::CannotRead};
        case StreamResult::Damaged:
            return {OutcomeKind::Damaged};
        case StreamResult::NoMemory:
            return {OutcomeKind::NoMemory};
        case StreamResult::Cancelled:
            return {OutcomeKind::Cancelled};
        case StreamResult::OutputFailed:
            break;
    }
    return CannotWriteOutcome(writeError);
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

bool LiesWithinFile(const DatArchive& archive, const EntryInfo& info) {
    return std::uint64_t{info.offset} + info.storedSize <= archive.dataSize();
}

// Whether raw stored bytes that begin as `data` are written wrapped as gzip: a Fallout 2 rule
// that Fallout 1's archives, which hold no zlib streams, do not follow.
bool WrapsAsGzip(const EntryInfo& info, const std::uint8_t* data, std::size_t size) {
    return info.format == ArchiveFormat::Dat2 && BeginsWithBestZlibHeader(data, size);
}

// The same, from the entry's first stored bytes.
bool WrapsAsGzip(const DatArchive& archive, const EntryInfo& info) {
    std::uint8_t head[2] = {};
    return info.storedSize >= 2 && archive.readAt(info.offset, head, 2) == 2 &&
           WrapsAsGzip(info, head, 2);
}

}  // namespace

PlannedOutput PlanOutput(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                         const ExtractTarget& target) {
    const EntryInfo info = GetEntryInfo(table, index);
    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    PlannedOutput plan;
    if (const auto folder = FolderFor(target, info.name)) {
        std::vector<std::string_view> components;
        plan.refused = !FolderComponents(*folder, components);
        for (std::string_view component : components) plan.path.append(component).push_back('\\');
    }
    plan.path.append(fileName);
    plan.refused = plan.refused || !IsSafeComponent(fileName) || !LiesWithinFile(archive, info) ||
                   (target.unpack && info.packing == PackingKind::Unknown);
    if (plan.refused) return plan;
    if (target.unpack) {
        plan.bytes = info.packing == PackingKind::Stored ? info.storedSize : info.realSize;
    } else if (WrapsAsGzip(archive, info)) {
        plan.path += ".gz";
        plan.bytes = info.storedSize - 2 + GzipHeader(fileName).size();
    } else {
        plan.bytes = info.storedSize;
    }
    return plan;
}

std::string StoredOutputPath(std::string_view name, const ExtractTarget& target) {
    std::string path;
    if (const auto folder = FolderFor(target, name)) {
        std::vector<std::string_view> components;
        FolderComponents(*folder, components);
        for (std::string_view component : components) path.append(component).push_back('\\');
    }
    path.append(SplitFolderAndFile(name).file);
    return path;
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
                               const ExtractTarget& target, ExtractShared* shared)
    : archive_(archive),
      table_(table),
      target_(target),
      monitor_(shared ? shared->monitor : nullptr),
      folders_(std::make_unique<OutputFolders>(target.destination)),
      unpacker_(std::make_unique<EntryUnpacker>()) {}

EntryExtractor::~EntryExtractor() = default;

EntryOutcome EntryExtractor::extract(EntryIndex index) {
    const EntryInfo info = GetEntryInfo(table_, index);
    if (!LiesWithinFile(archive_, info)) return {OutcomeKind::CannotRead};
    StoredBytes stored(archive_, info, monitor_);
    if (!stored.readNext()) return {OutcomeKind::CannotRead};

    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    const std::optional<std::string_view> folder = FolderFor(target_, info.name);
    std::vector<std::string_view> components;
    if (!IsSafeComponent(fileName)) return CannotWriteOutcome(0);
    if (folder && !FolderComponents(*folder, components)) return CannotWriteOutcome(0);
    if (target_.unpack && info.packing == PackingKind::Unknown) {
        return {OutcomeKind::UnknownPacking, 0, info.type};
    }
    const bool gzip = !target_.unpack && WrapsAsGzip(info, stored.data(), stored.size());
    return write(info, stored, folder.value_or(std::string_view()), components, gzip);
}

EntryOutcome EntryExtractor::write(const EntryInfo& info, StoredBytes& stored,
                                   std::string_view folder,
                                   const std::vector<std::string_view>& components, bool gzip) {
    const std::string_view fileName = SplitFolderAndFile(info.name).file;
    std::string outName = Cp1252ToUtf8(fileName);
    if (gzip) outName += ".gz";

    MadeFolders made;
    TemporaryFile out;
    if (const int error = open(folder, components, made, out); error != 0) {
        made.removeAll();
        return CannotWriteOutcome(error);
    }
    StreamResult result = target_.unpack && info.packing != PackingKind::Stored
                              ? unpacker_->unpack(
                                    archive_, info, stored,
                                    [&out](const std::uint8_t* data, std::size_t size) {
                                        return out.write(data, size);
                                    },
                                    monitor_)
                              : WriteStored(stored, fileName, gzip, out, monitor_);
    if (result == StreamResult::Ok) {
        if (out.commit(outName)) return {};
        result = StreamResult::OutputFailed;
    }
    const int error = out.error();
    out.discard();
    made.removeAll();
    return OutcomeOf(result, error);
}

int EntryExtractor::open(std::string_view folder, const std::vector<std::string_view>& components,
                         MadeFolders& made, TemporaryFile& out) {
    // Another entry's clean-up may remove a folder on the way just after this walk entered it:
    // nothing can be made in it then (ENOENT), and a fresh walk makes it again.
    int error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int dir = folders_->enter(folder, components, made);
        if (dir >= 0 && out.create(dir)) return 0;
        error = dir >= 0 ? out.error() : errno;
        if (error != ENOENT) break;
        folders_->forget();
    }
    return error;
}

EntryOutcome ExtractEntry(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target, ExtractShared* shared) {
    return EntryExtractor(archive, table, target, shared).extract(index);
}

}  // namespace tarvix
