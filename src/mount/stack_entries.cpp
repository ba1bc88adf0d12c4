#include "mount/stack_entries.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <limits>

#include "archive/cp1252.h"
#include "extract/entry_check.h"

namespace tarvix::mount {
namespace {

constexpr std::uint32_t kNotWinner = std::numeric_limits<std::uint32_t>::max();
// The File::source of a folder's file: its index, with this bit set.
constexpr std::uint32_t kFolderFileBit = 0x8000'0000u;

timespec ModifiedTime(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    return st.st_mtim;
}

std::string Hidden(std::string_view name, const std::string& why) {
    return Cp1252ToUtf8(name) + ": not shown: " + why;
}

}  // namespace

StackEntries::StackEntries(std::unique_ptr<SourceStack> stack, const Report& report)
    : stack_(std::move(stack)) {
    // Which entry of each source wins its path, so that the tree gets the winners alone, in
    // the order of precedence (source by source, each in its own order): the tree's rule
    // that the first to claim a name keeps it then settles file-folder clashes in the same
    // direction as the stack settles paths.
    std::vector<std::vector<std::uint32_t>> winners(stack_->sourceCount());
    for (std::uint32_t place = 0; place < winners.size(); ++place)
        winners[place].assign(stack_->source(place).entryCount(), kNotWinner);
    const StackEntryVector& entries = stack_->entries();
    for (std::uint32_t e = 0; e < entries.size(); ++e)
        winners[entries[e].source][entries[e].index] = e;
    placeOf_.push_back(0);
    for (std::uint32_t place = 0; place < winners.size(); ++place)
        addSource(place, winners[place], report);
    tree_.finish([this, &report](NodeId hidden, NodeId winner) {
        report(Hidden(tree_.pathOf(hidden),
                      "the name is taken by " + Cp1252ToUtf8(tree_.pathOf(winner))));
    });
    readTimes();
}

void StackEntries::addSource(std::uint32_t place, const std::vector<std::uint32_t>& winners,
                             const Report& report) {
    const StackSource& source = stack_->source(place);
    for (std::uint32_t i = 0; i < winners.size(); ++i) {
        if (winners[i] != kNotWinner) {
            addFile(place, i, report);
            continue;
        }
        const std::string_view name = source.entryName(i);
        const StackEntry* winner = stack_->find(name);
        if (winner != nullptr && winner->source == place)
            report(Hidden(name, "the name is taken by " + Cp1252ToUtf8(winner->name)));
    }
}

void StackEntries::addFile(std::uint32_t place, std::uint32_t index, const Report& report) {
    const StackSource& source = stack_->source(place);
    const std::string_view name = source.entryName(index);
    FoldedTree::File file;
    if (source.kind() == StackSource::Kind::Folder) {
        const std::uint64_t size = source.files()[index].size;
        if (size > std::numeric_limits<std::uint32_t>::max()) {
            report(Hidden(name, "4 GiB or larger"));
            return;
        }
        file.realSize = file.storedSize = static_cast<std::uint32_t>(size);
        // Raw extraction reads a folder's file as a stored entry of a Fallout 2 archive.
        file.gzipWhenRaw = true;
        file.source = index | kFolderFileBit;
    } else {
        const EntryInfo info = GetEntryInfo(source.table(), index);
        file.packing = info.packing;
        file.rawType = info.type;
        file.realSize = info.realSize;
        file.storedSize = info.storedSize;
        file.gzipWhenRaw = info.format == ArchiveFormat::Dat2;
        file.source = index;
    }
    if (const auto unsafe = tree_.addFile(name, file)) {
        report(Hidden(name, UnsafeNameProblem(*unsafe)));
        return;
    }
    placeOf_.resize(tree_.nodeCount(), place);
}

void StackEntries::readTimes() {
    for (std::uint32_t place = 0; place < stack_->sourceCount(); ++place) {
        const StackSource& source = stack_->source(place);
        sourceTimes_.push_back(ModifiedTime(source.path()));
        std::vector<timespec> own;
        if (source.kind() == StackSource::Kind::Folder) {
            own.reserve(source.files().size());
            for (const FolderFile& file : source.files())
                own.push_back(ModifiedTime(source.path() / file.relative));
        }
        fileTimes_.push_back(std::move(own));
    }
}

StoredEntry StackEntries::openStored(NodeId id) const {
    const StackSource& source = stack_->source(placeOf_[id]);
    const std::uint32_t index = tree_.sourceOf(id);
    StoredEntry stored;
    if ((index & kFolderFileBit) == 0) {
        stored.archive = &source.archive();
        stored.info = GetEntryInfo(source.table(), index);
        return stored;
    }
    auto own = std::make_unique<DatArchive>();
    if (!source.openLooseFile(index & ~kFolderFileBit, *own)) return stored;
    if (changedSinceScan(placeOf_[id], index & ~kFolderFileBit, *own)) {
        stored.problem = kChangedSinceMounted;
        return stored;
    }
    // The one stored entry that holds the whole file, as the loose archive describes it (an
    // entry table would cost more than the file's opening).
    stored.info.name = source.entryName(index & ~kFolderFileBit);
    stored.info.realSize = stored.info.packedSize = stored.info.storedSize =
        static_cast<std::uint32_t>(own->dataAreaSize());
    stored.own = std::move(own);
    stored.archive = stored.own.get();
    return stored;
}

// The file shown is the file scanned: its size and time as they were then. One that has
// changed since would read other bytes than its listed size and time promise.
bool StackEntries::changedSinceScan(std::uint32_t place, std::uint32_t index,
                                    const DatArchive& opened) const {
    const timespec scanned = fileTimes_[place][index];
    const std::optional<std::int64_t> modified = opened.fileModifiedWhenOpened();
    return opened.dataAreaSize() != stack_->source(place).files()[index].size || !modified ||
           *modified != std::int64_t{scanned.tv_sec} * 1'000'000'000 + scanned.tv_nsec;
}

timespec StackEntries::modified(NodeId id) const {
    if (sourceTimes_.empty()) return {};  // a game folder without any of its sources
    const std::uint32_t place = placeOf_[id];
    const std::uint32_t index = tree_.sourceOf(id);
    if (!node(id).isFolder && (index & kFolderFileBit) != 0)
        return fileTimes_[place][index & ~kFolderFileBit];
    return sourceTimes_[place];
}

}  // namespace tarvix::mount
