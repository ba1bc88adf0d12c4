#include "mount/archive_entries.h"

#include <sys/stat.h>

#include <algorithm>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/entry_check.h"

namespace tarvix::mount {
namespace {

constexpr std::uint8_t kTypeStored = 0;
constexpr std::uint8_t kTypeZlib = 1;

Packing PackingOf(std::uint8_t type) {
    if (type == kTypeStored) return Packing::Stored;
    if (type == kTypeZlib) return Packing::Zlib;
    return Packing::Unknown;
}

}  // namespace

DatArchive::LoadResult ArchiveEntries::load(const std::filesystem::path& path,
                                            const Report& report) {
    DatArchive::LoadResult result = archive_.load(path);
    if (!result.ok) return result;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) modified_ = st.st_mtim;
    FillEntryTable(archive_, table_);
    buildTree(report);
    return result;
}

void ArchiveEntries::buildTree(const Report& report) {
    for (EntryIndex index = 0; index < archive_.entryCount(); ++index) {
        const std::uint8_t* entry = table_[index];
        const std::uint8_t* fields = entry + 4 + ReadU32LE(entry);
        const std::string_view name = EntryName(entry);
        FoldedTree::File file;
        file.rawType = fields[0];
        file.packing = PackingOf(fields[0]);
        file.realSize = ReadU32LE(fields + 1);
        file.storedSize = ReadU32LE(fields + 5);
        file.gzipWhenRaw = true;
        file.source = index;
        if (const auto unsafe = tree_.addFile(name, file)) {
            report(Cp1252ToUtf8(name) + ": not shown: " + UnsafeNameProblem(*unsafe));
        }
    }
    tree_.finish([this, &report](NodeId hidden, NodeId winner) {
        report(Cp1252ToUtf8(tree_.pathOf(hidden)) + ": not shown: the name is taken by " +
               Cp1252ToUtf8(tree_.pathOf(winner)));
    });
}

std::size_t ArchiveEntries::readStored(NodeId id, std::uint64_t offset, std::uint8_t* buffer,
                                       std::size_t size) const {
    const EffectiveNode& file = tree_.node(id);
    const std::uint8_t* entry = table_[tree_.sourceOf(id)];
    const std::uint32_t start = ReadU32LE(entry + 4 + ReadU32LE(entry) + 9);
    // Stored bytes that would run past the archive's end are not read at all, as extraction
    // refuses them ("Cannot read DAT file").
    if (std::uint64_t{start} + file.storedSize > archive_.dataSize()) return 0;
    if (offset >= file.storedSize) return 0;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, file.storedSize - offset));
    return archive_.readAt(start + offset, buffer, wanted);
}

}  // namespace tarvix::mount
