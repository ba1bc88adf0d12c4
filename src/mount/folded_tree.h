#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mount/effective_entries.h"

namespace tarvix::mount {

// The folders and files of a mount, names compared as the game compares them (ASCII A-Z
// folded to a-z), built from internal paths given in order of precedence: the first path to
// claim a name keeps it, in its own spelling, and every later one with that name is hidden.
// Names are views into the caller's paths, which must outlive the tree.
class FoldedTree {
public:
    // A file's fields; `source` is whatever the caller needs to find its stored bytes again.
    struct File {
        PackingKind packing = PackingKind::Stored;
        std::uint32_t rawType = 0;
        std::uint32_t realSize = 0;
        std::uint32_t storedSize = 0;
        bool gzipWhenRaw = false;
        std::uint32_t source = 0;
    };

    FoldedTree();

    // Adds the file at `cp1252Path` (components joined by backslashes) with the folders it
    // lies in. Empty folder components make no folder, as in extraction; a path with a
    // component that extraction would refuse is not added and its first such component is
    // returned.
    std::optional<std::string_view> addFile(std::string_view cp1252Path, const File& file);

    // Settles every folder's children after the last addFile: each folded name once, the
    // first added winning. `hidden` hears of every node that lost its name to another.
    void finish(const std::function<void(NodeId hidden, NodeId winner)>& hidden);

    std::size_t nodeCount() const { return nodes_.size(); }
    const EffectiveNode& node(NodeId id) const { return nodes_[id]; }
    std::uint32_t sourceOf(NodeId id) const { return sources_[id]; }
    std::optional<NodeId> lookup(NodeId folder, std::string_view cp1252Name) const;
    std::span<const NodeId> children(NodeId folder) const;
    std::string pathOf(NodeId id) const;

private:
    NodeId folderFor(std::string_view folderPath);
    NodeId addNode(EffectiveNode node, std::uint32_t source);

    std::vector<EffectiveNode> nodes_;
    std::vector<std::uint32_t> sources_;
    // While adding: every folder by its folded path, and the previous file's folder, since an
    // archive's entries come grouped by folder.
    std::unordered_map<std::string, NodeId> folders_;
    std::string lastFolderPath_;
    NodeId lastFolder_ = EffectiveEntries::kRoot;
    // After finish: each folder's children, sorted by folded name, one run per folder.
    std::vector<NodeId> childIds_;
    std::vector<std::uint32_t> childBegin_;  // per node, into childIds_; one extra at the end
};

// `c` with ASCII A-Z folded to a-z, as the game compares names.
inline unsigned char FoldCase(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}
// Whether `a` sorts before `b` once folded (negative), equals it (0) or follows it.
int CompareFolded(std::string_view a, std::string_view b);

}  // namespace tarvix::mount
