#include "mount/unpacked_cache.h"

namespace tarvix::mount {

std::size_t UnpackedCache::CostOf(const UnpackedContent& content) {
    return content.bytes.capacity() + sizeof(UnpackedContent) + content.problem.capacity();
}

UnpackedCache::Content UnpackedCache::find(NodeId id) {
    const std::lock_guard lock(mutex_);
    const auto found = byId_.find(id);
    if (found == byId_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
}

UnpackedCache::Content UnpackedCache::insert(NodeId id, Content content) {
    const std::size_t cost = CostOf(*content);
    const std::lock_guard lock(mutex_);
    if (const auto found = byId_.find(id); found != byId_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        return found->second->second;
    }
    if (cost > budget_) return content;
    while (held_ + cost > budget_) {
        held_ -= CostOf(*order_.back().second);
        byId_.erase(order_.back().first);
        order_.pop_back();
    }
    order_.emplace_front(id, content);
    byId_.emplace(id, order_.begin());
    held_ += cost;
    return content;
}

std::size_t UnpackedCache::heldBytes() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

}  // namespace tarvix::mount
