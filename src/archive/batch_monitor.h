#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tarvix {

// What a running batch shares with whoever watches it: progress counters the workers advance
// and the watcher reads whenever it likes, and a cancel request the workers look at before
// each entry and between chunks. Nothing in it blocks, so a window's thread can poll it on a
// timer and a terminal's progress line can read it from anywhere.
class BatchMonitor {
public:
    struct Progress {
        std::size_t filesDone = 0;
        std::size_t filesTotal = 0;
        std::uint64_t bytesDone = 0;  // stored bytes read so far
        std::uint64_t bytesTotal = 0;
    };

    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }

    // Never past the totals once started: an entry written again after a failure reads its
    // bytes again.
    Progress progress() const {
        Progress p{filesDone_.load(std::memory_order_relaxed),
                   filesTotal_.load(std::memory_order_relaxed),
                   bytesDone_.load(std::memory_order_relaxed),
                   bytesTotal_.load(std::memory_order_relaxed)};
        if (started_.load(std::memory_order_relaxed)) {
            p.filesDone = std::min(p.filesDone, p.filesTotal);
            p.bytesDone = std::min(p.bytesDone, p.bytesTotal);
        }
        return p;
    }

    // The engine's side.
    void start(std::size_t files, std::uint64_t bytes) {
        filesTotal_.store(files, std::memory_order_relaxed);
        bytesTotal_.store(bytes, std::memory_order_relaxed);
        started_.store(true, std::memory_order_relaxed);
    }
    void addBytes(std::uint64_t bytes) { bytesDone_.fetch_add(bytes, std::memory_order_relaxed); }
    void fileDone() { filesDone_.fetch_add(1, std::memory_order_relaxed); }
    void finish() { finished_.store(true, std::memory_order_release); }

private:
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::uint64_t> bytesDone_{0};
    std::atomic<std::size_t> filesTotal_{0};
    std::atomic<std::uint64_t> bytesTotal_{0};
};

}  // namespace tarvix
