#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "mount/effective_entries.h"
#include "mount/unpacking.h"

namespace tarvix::mount {

// Entries unpacked whole, kept while they fit in a byte budget; the least recently used goes
// first. Holders of an entry keep it alive after it has gone from the cache, so a reader never
// loses what it is reading; the budget counts only what the cache itself holds.
class UnpackedCache {
public:
    using Content = std::shared_ptr<const UnpackedContent>;

    explicit UnpackedCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

    // The cached content of `id`, now the most recently used, or null.
    Content find(NodeId id);
    // Keeps `content` for `id` (unless it alone exceeds the budget) and returns what the cache
    // holds for it: an earlier insertion by another reader wins, so both share one copy.
    Content insert(NodeId id, Content content);

    std::size_t heldBytes() const;

private:
    static std::size_t CostOf(const UnpackedContent& content);

    using Order = std::list<std::pair<NodeId, Content>>;
    mutable std::mutex mutex_;
    std::size_t budget_;
    std::size_t held_ = 0;
    Order order_;  // most recently used first
    std::unordered_map<NodeId, Order::iterator> byId_;
};

}  // namespace tarvix::mount
