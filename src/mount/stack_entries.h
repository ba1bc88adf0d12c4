#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/source_stack.h"
#include "mount/effective_entries.h"
#include "mount/folded_tree.h"

namespace tarvix::mount {

// The effective entries of a stack of sources (one archive is a stack of one): the files the
// stack's own rules pick, each from its winning source (see SourceStack), laid out as folders.
//
// What a folder cannot show is left out and told: a name that extraction would refuse, a
// second entry of one path within one source, a file and a folder of the same name (the one
// from the earlier source stays; within one source, the earlier entry), and a folder's file of
// 4 GiB or more. A copy that a winner shadows is the stack working, and is not told.
//
// Times: a file of a folder source has its own modification time; every other file, and each
// folder, that of the source that provides it (a folder's first source; the root's, the first
// source).
class StackEntries final : public EffectiveEntries {
public:
    // A problem with one name, as a line for the log.
    using Report = std::function<void(const std::string& line)>;

    StackEntries(std::unique_ptr<SourceStack> stack, const Report& report);

    std::size_t nodeCount() const override { return tree_.nodeCount(); }
    const EffectiveNode& node(NodeId id) const override { return tree_.node(id); }
    std::optional<NodeId> lookup(NodeId folder, std::string_view cp1252Name) const override {
        return tree_.lookup(folder, cp1252Name);
    }
    std::span<const NodeId> children(NodeId folder) const override {
        return tree_.children(folder);
    }
    std::string pathOf(NodeId id) const override { return tree_.pathOf(id); }
    std::string sourceOf(NodeId id) const override { return stack_->source(placeOf_[id]).label(); }
    StoredEntry openStored(NodeId id) const override;
    timespec modified(NodeId id) const override;

private:
    void addSource(std::uint32_t place, const std::vector<std::uint32_t>& winners,
                   const Report& report);
    void addFile(std::uint32_t place, std::uint32_t index, const Report& report);
    void readTimes();
    bool changedSinceScan(std::uint32_t place, std::uint32_t index, const DatArchive& opened) const;

    std::unique_ptr<SourceStack> stack_;
    FoldedTree tree_;
    // Per node: the source that provides it.
    std::vector<std::uint32_t> placeOf_;
    // Per source: its modification time; per file of a folder source, the file's own.
    std::vector<timespec> sourceTimes_;
    std::vector<std::vector<timespec>> fileTimes_;
};

}  // namespace tarvix::mount
