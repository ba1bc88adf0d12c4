#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/dat_entry.h"
#include "archive/entry_table.h"

namespace tarvix {

using NodeId = std::uint32_t;

// One folder path component shown in the tree. Names point into the entry list.
struct FolderNode {
    std::string_view name;
    NodeId parent = 0;
    EntryIndex entryIndex = 0;     // the entry whose walk created this node
    std::uint32_t depth = 0;       // 1 for the tree's top level
    std::uint32_t row = 0;         // position among the parent's children
    std::vector<NodeId> children;  // in creation order; the tree does not sort
};

// The folder tree of an archive, built by one walk over its entry list.
//
// Every entry's folder path (the name before its last backslash, or the whole name when it
// has none) is inserted component by component; siblings keep the order in which their first
// entry comes in the directory. Each node also knows the entries whose folder path is exactly
// its own path, so listing a folder never scans the directory.
class FolderIndex {
public:
    static constexpr NodeId kRoot = 0;

    FolderIndex();

    // Walks `dirBlock` (a checked entry list), fills `table` and builds the tree.
    void BuildFolderTree(std::span<const std::uint8_t> dirBlock, EntryTable& table);

    // Inserts one folder path, creating the nodes it lacks; returns its deepest node.
    NodeId InsertFolderPath(std::string_view path, EntryIndex index);

    const FolderNode& node(NodeId id) const { return nodes_[id]; }
    std::size_t nodeCount() const { return nodes_.size(); }  // the root included

    // Entries whose folder path equals the node's path, in directory order.
    std::span<const EntryIndex> filesOf(NodeId id) const;

    // The node's internal path: its components from the top, joined by backslashes.
    std::string pathOf(NodeId id) const;

    // Nodes created for the first, second, ... path component, in order of creation.
    const std::vector<std::vector<NodeId>>& levelNodeTables() const { return levelNodeTables_; }

private:
    struct ChildKey {
        NodeId parent;
        std::string_view name;
        bool operator==(const ChildKey&) const = default;
    };
    struct ChildKeyHash {
        std::size_t operator()(const ChildKey& k) const noexcept {
            return std::hash<std::string_view>{}(k.name) ^
                   (std::size_t{k.parent} * 0x9E3779B97F4A7C15ull);
        }
    };

    NodeId findOrCreateChild(NodeId parent, std::string_view name, EntryIndex index);
    NodeId nodeForFolder(std::string_view folder, EntryIndex index);
    void groupFilesByFolder(const std::vector<NodeId>& folderOfEntry);

    std::vector<FolderNode> nodes_;
    std::vector<std::vector<NodeId>> levelNodeTables_;
    std::unordered_map<ChildKey, NodeId, ChildKeyHash> childByName_;
    std::unordered_map<std::string_view, NodeId> nodeByPath_;
    std::vector<std::uint32_t> filesBegin_;  // per node, into files_; one extra at the end
    std::vector<EntryIndex> files_;
};

}  // namespace tarvix
