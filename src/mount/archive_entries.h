#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "mount/effective_entries.h"
#include "mount/folded_tree.h"

namespace tarvix::mount {

// The effective entries of one Fallout 2 archive: every entry of its entry table, the first
// of each name (folded as the game folds it) winning over later ones.
class ArchiveEntries final : public EffectiveEntries {
public:
    // A problem with one name, as a line for the log.
    using Report = std::function<void(const std::string& line)>;

    ArchiveEntries() = default;

    // Loads `path`; on refusal, the loader's message (empty when it could not be opened).
    DatArchive::LoadResult load(const std::filesystem::path& path, const Report& report);

    std::size_t nodeCount() const override { return tree_.nodeCount(); }
    const EffectiveNode& node(NodeId id) const override { return tree_.node(id); }
    std::optional<NodeId> lookup(NodeId folder, std::string_view cp1252Name) const override {
        return tree_.lookup(folder, cp1252Name);
    }
    std::span<const NodeId> children(NodeId folder) const override {
        return tree_.children(folder);
    }
    std::string pathOf(NodeId id) const override { return tree_.pathOf(id); }
    std::size_t readStored(NodeId id, std::uint64_t offset, std::uint8_t* buffer,
                           std::size_t size) const override;
    timespec modified(NodeId) const override { return modified_; }

private:
    void buildTree(const Report& report);

    DatArchive archive_;
    EntryTable table_;
    FoldedTree tree_;
    timespec modified_{};
};

}  // namespace tarvix::mount
