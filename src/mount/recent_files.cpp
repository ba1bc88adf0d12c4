#include "mount/recent_files.h"

#include <algorithm>

namespace tarvix::mount {

std::shared_ptr<OpenFile> RecentFiles::get(NodeId id,
                                           const std::function<std::unique_ptr<OpenFile>()>& open) {
    const std::lock_guard lock(mutex_);
    // A handful of files: a search through them costs less than any map.
    const auto found = std::find_if(files_.begin(), files_.end(),
                                    [id](const auto& kept) { return kept.first == id; });
    std::shared_ptr<OpenFile> file;
    if (found != files_.end()) {
        file = std::move(found->second);
        files_.erase(found);
    } else {
        file = open();
        if (files_.size() >= capacity_ && !files_.empty()) files_.erase(files_.begin());
    }
    if (capacity_ > 0) files_.emplace_back(id, file);
    return file;
}

}  // namespace tarvix::mount
