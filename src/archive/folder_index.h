#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/source_stack.h"

namespace tarvix {

using NodeId = std::uint32_t;

// The key of the folder index's path hash.
struct HashKey {
    std::uint64_t k0 = 0;
    std::uint64_t k1 = 0;
};
// A key no one can know in advance: from the system's random source.
HashKey RandomHashKey();

// One folder path component shown in the tree. Names point into the entry list.
struct FolderNode {
    std::string_view name;
    NodeId parent = 0;
    EntryIndex entryIndex = 0;         // the entry whose walk created this node
    std::uint32_t depth = 0;           // 1 for the tree's top level
    std::uint32_t row = 0;             // position among the parent's children
    std::span<const NodeId> children;  // in creation order; the tree does not sort
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

    // A random key for the path hash, so that no archive can be crafted against it.
    FolderIndex();
    // A fixed key, for benchmarks that must see the same table on every run.
    explicit FolderIndex(const HashKey& key);
    // Nodes refer into the index's own child lists, so it is never copied; a move takes the
    // lists' storage along, which keeps those references valid.
    FolderIndex(const FolderIndex&) = delete;
    FolderIndex& operator=(const FolderIndex&) = delete;
    FolderIndex(FolderIndex&&) noexcept = default;
    FolderIndex& operator=(FolderIndex&&) noexcept = default;

    // Walks the loaded archive's entry list, fills `table` and builds the tree.
    void BuildFolderTree(const DatArchive& archive, EntryTable& table);
    // The same tree for an entry list laid out by StackEntryList(stack), made from the union's
    // folders: an entry's folder path is looked up only the first time its folder of the union
    // comes, not at every change of folder along the list. The archive must hold exactly the
    // stack's effective entries; otherwise the index is left empty.
    void BuildStackTree(const DatArchive& archive, const SourceStack& stack, EntryTable& table);

    const FolderNode& node(NodeId id) const { return nodes_[id]; }
    std::size_t nodeCount() const { return nodes_.size(); }  // the root included

    // Entries whose folder path equals the node's path, in directory order.
    std::span<const EntryIndex> filesOf(NodeId id) const;

    // Every entry listed in the node or in any node below it, in directory order: a folder
    // with everything it holds.
    std::vector<EntryIndex> entriesBelow(NodeId id) const;

    // The node's internal path: its components from the top, joined by backslashes.
    std::string pathOf(NodeId id) const;

    // The node whose internal path is `folderPath`, or kRoot when no node has it. An entry is
    // listed under folderOf(SplitFolderAndFile(its name).folder).
    NodeId folderOf(std::string_view folderPath) const;

private:
    // Every node by its full path: open addressing with linear probing, node 0 (the root,
    // never stored) marking a free slot. A slot keeps 32 bits of the path's hash and where the
    // path's bytes lie in pathText_, a packed copy of all paths, so a probe compares bytes
    // only when the hash bits agree and then within a few MiB rather than the whole entry list.
    struct PathText {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    struct PathSlot {
        std::uint32_t tag = 0;
        NodeId node = kRoot;
        PathText path;
    };

    // Inserts one folder path during the walk, creating the nodes it lacks; returns its
    // deepest node. Children lists are laid out only when the walk ends.
    NodeId InsertFolderPath(std::string_view path, EntryIndex index);
    NodeId findPath(std::string_view path, std::uint32_t tag) const;
    // A prefix of a path being inserted: one component, [begin, end), and the tag of the path
    // up to its end.
    struct Prefix {
        std::size_t begin;
        std::size_t end;
        std::uint32_t tag;
    };

    void addPath(const PathSlot& slot);
    void placeSlot(const PathSlot& slot);
    NodeId createChild(NodeId parent, std::string_view name, PathSlot slot, EntryIndex index);
    NodeId nodeForFolder(std::string_view folder, std::uint32_t tag, EntryIndex index);
    void layOutChildren();
    void groupFilesByFolder(const std::vector<NodeId>& folderOfEntry);

    HashKey key_;
    std::vector<FolderNode> nodes_;
    std::vector<NodeId> childIds_;  // every node's children, one run per parent
    std::vector<PathSlot> pathSlots_;
    std::string pathText_;
    std::vector<Prefix> prefixScratch_;
    std::string_view lastFolder_;  // the previous entry's folder path and its node
    NodeId lastNode_ = kRoot;
    std::vector<std::uint32_t> filesBegin_;  // per node, into files_; one extra at the end
    std::vector<EntryIndex> files_;
};

}  // namespace tarvix
