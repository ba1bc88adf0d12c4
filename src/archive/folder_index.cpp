#include "archive/folder_index.h"

#include <algorithm>
#include <array>
#include <functional>

namespace tarvix {
namespace {

std::uint32_t PathTag(std::string_view path) {
    const std::uint64_t hash = std::hash<std::string_view>{}(path);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

constexpr std::size_t kAhead = 16;

void Prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#endif
}

}  // namespace

FolderIndex::FolderIndex() : nodes_(1) {}

void FolderIndex::BuildFolderTree(std::span<const std::uint8_t> dirBlock, EntryTable& table) {
    // Counting first lets the table and the list of folders per entry be allocated once.
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++count) {
        pos += static_cast<std::size_t>(EntryStride(dirBlock.data() + pos));
    }
    table.reset(count);
    lastNode_ = kRoot;
    std::vector<NodeId> folderOfEntry;
    folderOfEntry.reserve(count);

    // Looking up a folder path mostly waits for memory. So the walk reads the entries kAhead
    // ahead of the one it works on, hashes their folder paths and asks for their slots early,
    // and, halfway, for the path bytes a matching slot points to.
    struct Ahead {
        std::string_view folder;
        std::uint32_t tag = 0;
    };
    std::array<Ahead, kAhead> ring;
    std::size_t aheadPos = 0;
    EntryIndex aheadIndex = 0;
    const auto readAhead = [&] {
        if (aheadPos >= dirBlock.size()) return;
        const std::uint8_t* entry = dirBlock.data() + aheadPos;
        Ahead& next = ring[aheadIndex % kAhead];
        const Ahead& previous = ring[(aheadIndex + kAhead - 1) % kAhead];
        next.folder = SplitFolderAndFile(EntryName(entry)).folder;
        if (aheadIndex > 0 && next.folder == previous.folder) {
            next.tag = previous.tag;
        } else {
            next.tag = PathTag(next.folder);
            if (!pathSlots_.empty()) Prefetch(&pathSlots_[next.tag & (pathSlots_.size() - 1)]);
        }
        aheadPos += static_cast<std::size_t>(EntryStride(entry));
        ++aheadIndex;
    };
    for (std::size_t n = 0; n < kAhead; ++n) readAhead();

    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        if (i + kAhead / 2 < aheadIndex && !pathSlots_.empty()) {
            const Ahead& half = ring[(i + kAhead / 2) % kAhead];
            const PathSlot& slot = pathSlots_[half.tag & (pathSlots_.size() - 1)];
            if (slot.tag == half.tag) Prefetch(pathText_.data() + slot.path.offset);
        }
        const Ahead current = ring[i % kAhead];
        readAhead();
        folderOfEntry.push_back(nodeForFolder(current.folder, current.tag, i));
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
    layOutChildren();
    groupFilesByFolder(folderOfEntry);
}

// Consecutive entries mostly share their folder, so most entries cost one comparison with the
// previous entry's folder, and any other entry one lookup of its folder path.
NodeId FolderIndex::nodeForFolder(std::string_view folder, std::uint32_t tag, EntryIndex index) {
    if (lastNode_ != kRoot && folder == lastFolder_) return lastNode_;
    NodeId node = findPath(folder, tag);
    if (node == kRoot) node = InsertFolderPath(folder, index);
    lastFolder_ = folder;
    lastNode_ = node;
    return node;
}

// A node exists exactly when its path is in the table, and so do all its ancestors: the
// deepest existing node is found by shortening the path from the right, and the components
// after it are created in order, without looking any of them up.
NodeId FolderIndex::InsertFolderPath(std::string_view path, EntryIndex index) {
    NodeId parent = kRoot;
    std::size_t start = 0;  // where the first component to create begins
    for (std::string_view prefix = path;;) {
        if (const NodeId found = findPath(prefix, PathTag(prefix)); found != kRoot) {
            if (prefix.size() == path.size()) return found;
            parent = found;
            start = prefix.size() + 1;
            break;
        }
        const auto slash = prefix.rfind('\\');
        if (slash == std::string_view::npos) break;
        prefix = prefix.substr(0, slash);
    }
    // The new nodes' paths are all prefixes of this one copy, so the copies of all paths
    // together are never longer than the entry list.
    const auto base = static_cast<std::uint32_t>(pathText_.size());
    pathText_ += path;
    for (;;) {
        const auto slash = path.find('\\', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        parent = createChild(parent, path.substr(start, end - start),
                             {base, static_cast<std::uint32_t>(end)}, index);
        if (slash == std::string_view::npos) return parent;
        start = slash + 1;
    }
}

NodeId FolderIndex::createChild(NodeId parent, std::string_view name, PathText path,
                                EntryIndex index) {
    const auto id = static_cast<NodeId>(nodes_.size());
    const std::uint32_t depth = nodes_[parent].depth + 1;
    FolderNode node;
    node.name = name;
    node.parent = parent;
    node.entryIndex = index;
    node.depth = depth;
    nodes_.push_back(node);
    if (levelNodeTables_.size() < depth) levelNodeTables_.resize(depth);
    levelNodeTables_[depth - 1].push_back(id);
    addPath(path, id);
    return id;
}

NodeId FolderIndex::findPath(std::string_view path, std::uint32_t tag) const {
    if (pathSlots_.empty()) return kRoot;
    const std::size_t mask = pathSlots_.size() - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
        const PathSlot& slot = pathSlots_[i];
        if (slot.node == kRoot) return kRoot;
        if (slot.tag == tag &&
            std::string_view(pathText_).substr(slot.path.offset, slot.path.size) == path)
            return slot.node;
    }
}

void FolderIndex::addPath(PathText path, NodeId node) {
    if (2 * nodes_.size() > pathSlots_.size()) {  // every node but the root has a slot
        std::vector<PathSlot> old(std::max<std::size_t>(64, 2 * pathSlots_.size()));
        old.swap(pathSlots_);
        for (const PathSlot& slot : old) {
            if (slot.node != kRoot) placeSlot(slot);
        }
    }
    const std::string_view text = std::string_view(pathText_).substr(path.offset, path.size);
    placeSlot({PathTag(text), node, path});
}

void FolderIndex::placeSlot(const PathSlot& slot) {
    const std::size_t mask = pathSlots_.size() - 1;
    std::size_t i = slot.tag & mask;
    while (pathSlots_[i].node != kRoot) i = (i + 1) & mask;
    pathSlots_[i] = slot;
}

// Every node's children as one run of childIds_, in creation order: nodes are numbered in
// the order they were created, so a counting sort by parent keeps that order.
void FolderIndex::layOutChildren() {
    std::vector<std::uint32_t> begin(nodes_.size() + 1, 0);
    for (std::size_t n = 1; n < nodes_.size(); ++n) ++begin[nodes_[n].parent + 1];
    for (std::size_t n = 1; n < begin.size(); ++n) begin[n] += begin[n - 1];
    childIds_.assign(nodes_.size() - 1, kRoot);
    std::vector<std::uint32_t> next(begin.begin(), begin.end() - 1);
    for (std::size_t n = 1; n < nodes_.size(); ++n) {
        const NodeId parent = nodes_[n].parent;
        nodes_[n].row = next[parent] - begin[parent];
        childIds_[next[parent]++] = static_cast<NodeId>(n);
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        nodes_[n].children =
            std::span<const NodeId>(childIds_).subspan(begin[n], begin[n + 1] - begin[n]);
    }
}

// A counting sort by folder: afterwards each node's files are one contiguous, ordered run.
void FolderIndex::groupFilesByFolder(const std::vector<NodeId>& folderOfEntry) {
    filesBegin_.assign(nodes_.size() + 1, 0);
    for (NodeId folder : folderOfEntry) ++filesBegin_[folder + 1];
    for (std::size_t n = 1; n < filesBegin_.size(); ++n) filesBegin_[n] += filesBegin_[n - 1];
    files_.resize(folderOfEntry.size());
    std::vector<std::uint32_t> next(filesBegin_.begin(), filesBegin_.end() - 1);
    for (EntryIndex i = 0; i < folderOfEntry.size(); ++i) files_[next[folderOfEntry[i]]++] = i;
}

std::span<const EntryIndex> FolderIndex::filesOf(NodeId id) const {
    if (std::size_t{id} + 1 >= filesBegin_.size()) return {};
    return std::span<const EntryIndex>(files_).subspan(filesBegin_[id],
                                                       filesBegin_[id + 1] - filesBegin_[id]);
}

std::string FolderIndex::pathOf(NodeId id) const {
    std::string path;
    for (NodeId n = id; n != kRoot; n = nodes_[n].parent) {
        path.insert(0, nodes_[n].name);
        if (nodes_[n].parent != kRoot) path.insert(0, 1, '\\');
    }
    return path;
}

}  // namespace tarvix
