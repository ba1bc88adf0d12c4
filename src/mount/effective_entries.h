#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/packing_kind.h"
#include "mount/stored_entry.h"

namespace tarvix::mount {

using NodeId = std::uint32_t;

// One file or folder of the mounted view, as the source that wins it has it.
struct EffectiveNode {
    std::string_view name;  // the last component, Windows-1252, in the winner's spelling
    NodeId parent = 0;
    bool isFolder = false;
    // Files only.
    PackingKind packing = PackingKind::Stored;
    std::uint32_t rawType = 0;  // the packing as the archive records it, for messages
    std::uint32_t realSize = 0;
    std::uint32_t storedSize = 0;
    // Raw content wraps stored bytes that begin 78 DA as gzip under the name with ".gz"
    // added, as raw extraction of a Fallout 2 archive does; other formats have no such rule.
    bool gzipWhenRaw = false;
};

// The entries a mount shows: one per path, whichever source or stack provides them. The file
// system sees nothing else, so a single archive and a stack of sources mount the same way.
class EffectiveEntries {
public:
    static constexpr NodeId kRoot = 0;

    virtual ~EffectiveEntries() = default;

    virtual std::size_t nodeCount() const = 0;
    virtual const EffectiveNode& node(NodeId id) const = 0;
    // The child of `folder` whose name equals `cp1252Name` once ASCII A-Z are folded to a-z,
    // as the game compares names.
    virtual std::optional<NodeId> lookup(NodeId folder, std::string_view cp1252Name) const = 0;
    // Each child of `folder` once, in the winner's spelling.
    virtual std::span<const NodeId> children(NodeId folder) const = 0;
    // The node's internal path (components joined by backslashes), for messages.
    virtual std::string pathOf(NodeId id) const = 0;
    // The source that provides the node, named as the user named it, for messages.
    virtual std::string sourceOf(NodeId id) const = 0;
    // Opens the stored bytes of file `id` for reading.
    virtual StoredEntry openStored(NodeId id) const = 0;
    // When the source that provides the node last changed.
    virtual timespec modified(NodeId id) const = 0;
};

}  // namespace tarvix::mount
