#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <unordered_set>

#include "mount/effective_entries.h"

namespace tarvix::mount {

// Where the mount tells of problems: standard error in the foreground, the system log once it
// runs in the background. A problem with a file's content is told once per file, however
// often it is read.
class MountLog {
public:
    using Sink = std::function<void(const std::string& line)>;

    explicit MountLog(Sink sink) : sink_(std::move(sink)) {}

    void setSink(Sink sink);
    void line(const std::string& text);
    // `text`, unless a line about `id` was told already.
    void once(NodeId id, const std::string& text);

private:
    std::mutex mutex_;
    Sink sink_;
    std::unordered_set<NodeId> told_;
};

}  // namespace tarvix::mount
