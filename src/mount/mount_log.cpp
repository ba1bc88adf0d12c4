#include "mount/mount_log.h"

namespace tarvix::mount {

void MountLog::setSink(Sink sink) {
    const std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void MountLog::line(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (sink_) sink_(text);
}

void MountLog::once(NodeId id, const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (!told_.insert(id).second) return;
    if (sink_) sink_(text);
}

}  // namespace tarvix::mount
