#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "mount/effective_entries.h"
#include "mount/mounted_files.h"

namespace tarvix::mount {

// The open files of the last few files read without an open file of their own (a kernel that
// opens nothing reads by node alone), so that a file read in many pieces is unpacked (or a
// folder's file opened) once, and streamed on from where the last piece ended. The least recently
// read goes first; a reader that still holds it keeps it alive.
class RecentFiles {
public:
    static constexpr std::size_t kDefaultCapacity = 16;

    explicit RecentFiles(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // The open file kept for `id`, made with `open` when there is none.
    std::shared_ptr<OpenFile> get(NodeId id,
                                  const std::function<std::unique_ptr<OpenFile>()>& open);

private:
    std::shared_ptr<OpenFile> take(NodeId id);  // removed from the list, or null
    // Puts `file` last, unless one for `id` is kept already: then that one.
    std::shared_ptr<OpenFile> keep(NodeId id, std::shared_ptr<OpenFile> file);

    std::mutex mutex_;
    std::size_t capacity_;
    std::vector<std::pair<NodeId, std::shared_ptr<OpenFile>>> files_;  // most recent last
};

}  // namespace tarvix::mount
