#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "archive/entry_table.h"

namespace tarvix::bench {

// The folder tree built the plain way, kept only as a yardstick for FolderIndex: every
// entry's folder path is inserted component by component, and each component is looked up by
// scanning all nodes made so far at its depth, whatever their parent, name compared first.
// The cost grows with entries times nodes per depth.
class LinearScanTree {
public:
    struct Record {
        std::string_view name;
        std::uint32_t handle;  // 1-based creation number; 0 is the root
        std::uint32_t parent;
        EntryIndex entryIndex;
    };

    void BuildFolderTree(std::span<const std::uint8_t> dirBlock, EntryTable& table);
    void InsertFolderPath(std::string_view path, EntryIndex index);

    // Every node in creation order, and the nodes of each depth in creation order.
    const std::vector<Record>& nodes() const { return nodes_; }
    const std::vector<std::vector<Record>>& levelNodeTables() const { return levels_; }

private:
    std::vector<std::vector<Record>> levels_;
    std::vector<Record> nodes_;
};

}  // namespace tarvix::bench
