#include "linear_scan_tree.h"

#include "archive/dat_entry.h"

namespace tarvix::bench {

void LinearScanTree::BuildFolderTree(std::span<const std::uint8_t> dirBlock, EntryTable& table) {
    table.reset();
    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        InsertFolderPath(SplitFolderAndFile(EntryName(entry)).folder, i);
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
}

void LinearScanTree::InsertFolderPath(std::string_view path, EntryIndex index) {
    std::uint32_t parent = 0;
    for (std::size_t level = 0;; ++level) {
        const auto slash = path.find('\\');
        const std::string_view component = path.substr(0, slash);
        if (levels_.size() <= level) levels_.resize(level + 1);
        std::vector<Record>& table = levels_[level];
        const Record* match = nullptr;
        for (const Record& r : table) {
            if (r.name == component && r.parent == parent) {
                match = &r;
                break;
            }
        }
        if (match) {
            parent = match->handle;
        } else {
            const Record created{component, static_cast<std::uint32_t>(nodes_.size() + 1), parent,
                                 index};
            table.push_back(created);
            nodes_.push_back(created);
            parent = created.handle;
        }
        if (slash == std::string_view::npos) return;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace tarvix::bench
