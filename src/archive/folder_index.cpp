#include "archive/folder_index.h"

#include <functional>

namespace tarvix {
namespace {

std::uint32_t Tag(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::uint32_t PathTag(std::string_view path) {
    return Tag(std::hash<std::string_view>{}(path));
}

std::uint32_t ChildTag(NodeId parent, std::string_view name) {
    return Tag(std::hash<std::string_view>{}(name) ^
               (std::uint64_t{parent} * 0x9E3779B97F4A7C15ull));
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
    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        folderOfEntry.push_back(nodeForFolder(SplitFolderAndFile(EntryName(entry)).folder, i));
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
    nodeByPath_.release();
    std::string().swap(pathText_);
    layOutChildren();
    groupFilesByFolder(folderOfEntry);
}

// Consecutive entries mostly share their folder, so most entries cost one comparison with the
// previous entry's folder; any other folder path met before costs one lookup, and only a new
// one is inserted component by component.
NodeId FolderIndex::nodeForFolder(std::string_view folder, EntryIndex index) {
    if (lastNode_ != kRoot && folder == lastFolder_) return lastNode_;
    const std::uint32_t tag = PathTag(folder);
    NodeId node = nodeByPath_.find(tag, [&](const PathSlot& slot) {
        return std::string_view(pathText_).substr(slot.offset, slot.size) == folder;
    });
    if (node == kRoot) {
        node = InsertFolderPath(folder, index);
        nodeByPath_.insert({tag, node, static_cast<std::uint32_t>(pathText_.size()),
                            static_cast<std::uint32_t>(folder.size())});
        pathText_ += folder;
    }
    lastFolder_ = folder;
    lastNode_ = node;
    return node;
}

NodeId FolderIndex::InsertFolderPath(std::string_view path, EntryIndex index) {
    NodeId current = kRoot;
    for (;;) {
        const auto slash = path.find('\\');
        current = findOrCreateChild(current, path.substr(0, slash), index);
        if (slash == std::string_view::npos) return current;
        path.remove_prefix(slash + 1);
    }
}

NodeId FolderIndex::findOrCreateChild(NodeId parent, std::string_view name, EntryIndex index) {
    const std::uint32_t tag = ChildTag(parent, name);
    const NodeId found = childByName_.find(tag, [&](const ChildSlot& slot) {
        return nodes_[slot.node].parent == parent && nodes_[slot.node].name == name;
    });
    if (found != kRoot) return found;

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
    childByName_.insert({tag, id});
    return id;
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
