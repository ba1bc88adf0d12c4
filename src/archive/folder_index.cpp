#include "archive/folder_index.h"

namespace tarvix {

FolderIndex::FolderIndex() : nodes_(1) {}

void FolderIndex::BuildFolderTree(std::span<const std::uint8_t> dirBlock, EntryTable& table) {
    table.reset();
    std::vector<NodeId> folderOfEntry;
    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        folderOfEntry.push_back(nodeForFolder(SplitFolderAndFile(EntryName(entry)).folder, i));
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
    groupFilesByFolder(folderOfEntry);
}

// Consecutive entries mostly share their folder, and a folder path met before maps to the
// same node, so most entries cost one comparison or one lookup instead of one per component.
NodeId FolderIndex::nodeForFolder(std::string_view folder, EntryIndex index) {
    const auto [it, inserted] = nodeByPath_.try_emplace(folder, kRoot);
    if (inserted) it->second = InsertFolderPath(folder, index);
    return it->second;
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
    const auto [it, inserted] = childByName_.try_emplace(ChildKey{parent, name}, 0);
    if (!inserted) return it->second;

    const auto id = static_cast<NodeId>(nodes_.size());
    const std::uint32_t depth = nodes_[parent].depth + 1;
    FolderNode node;
    node.name = name;
    node.parent = parent;
    node.entryIndex = index;
    node.depth = depth;
    node.row = static_cast<std::uint32_t>(nodes_[parent].children.size());
    nodes_.push_back(std::move(node));
    nodes_[parent].children.push_back(id);
    if (levelNodeTables_.size() < depth) levelNodeTables_.resize(depth);
    levelNodeTables_[depth - 1].push_back(id);
    it->second = id;
    return id;
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
