#include "mount/recent_files.h"

#include <algorithm>

namespace tarvix::mount {

std::shared_ptr<OpenFile> RecentFiles::get(NodeId id,
                                           const std::function<std::unique_ptr<OpenFile>()>& open) {
    if (std::shared_ptr<OpenFile> kept = take(id)) return keep(id, std::move(kept));
    // Opening may read and decode a good deal (every block header of a large entry), so other
    // files are not held up by it; should another thread open the same one meanwhile, the
    // first kept wins and this one is dropped.
    std::shared_ptr<OpenFile> opened = open();
    if (std::shared_ptr<OpenFile> kept = take(id)) return keep(id, std::move(kept));
    return keep(id, std::move(opened));
}

std::shared_ptr<OpenFile> RecentFiles::take(NodeId id) {
    const std::lock_guard lock(mutex_);
    // A handful of files: a search through them costs less than any map.
    const auto found = std::find_if(files_.begin(), files_.end(),
                                    [id](const auto& kept) { return kept.first == id; });
    if (found == files_.end()) return nullptr;
    std::shared_ptr<OpenFile> file = std::move(found->second);
    files_.erase(found);
    return file;
}

std::shared_ptr<OpenFile> RecentFiles::keep(NodeId id, std::shared_ptr<OpenFile> file) {
    const std::lock_guard lock(mutex_);
    if (capacity_ == 0) return file;
    const auto found = std::find_if(files_.begin(), files_.end(),
                                    [id](const auto& kept) { return kept.first == id; });
    if (found != files_.end()) return found->second;  // another thread kept one first
    if (files_.size() >= capacity_) files_.erase(files_.begin());
    files_.emplace_back(id, file);
    return file;
}

}  // namespace tarvix::mount
