#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "pack/packed_file.h"

namespace tarvix {

// Packs the files of a list on several workers, ahead of the one thread that writes them in
// list order. Workers run at most a window of files ahead of the writer, so memory holds a
// bounded number of packed files whatever the list's length; files above the stream bound are
// left to the writer, which packs them as a stream.
class PackingQueue {
public:
    PackingQueue(const std::vector<SourceFile>& files, int level, std::uint64_t streamAbove,
                 unsigned workers);
    ~PackingQueue();  // stops and joins the workers
    PackingQueue(const PackingQueue&) = delete;
    PackingQueue& operator=(const PackingQueue&) = delete;

    // File `index`'s packed form, waiting for it; nothing for a file the writer streams itself.
    // Indices must be taken in order.
    std::optional<PackedFile> take(std::size_t index);
    bool isStreamed(std::size_t index) const { return files_[index].size > streamAbove_; }

private:
    void work();
    void stop();

    const std::vector<SourceFile>& files_;
    int level_;
    std::uint64_t streamAbove_;
    std::size_t window_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<PackedFile>> done_;  // a slot per file, emptied when taken
    std::vector<bool> ready_;
    std::size_t next_ = 0;   // the next file a worker takes
    std::size_t taken_ = 0;  // files the writer has taken
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace tarvix
