#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "archive/entry_table.h"
#include "archive/name_pattern.h"

namespace tarvix {

// Searches one entry table on a thread of its own (and helpers on the other cores while a
// search runs), for the latest request only: a new request
// abandons the search running or waiting, so a window that asks on every keystroke never waits
// for a search, nor for results it no longer wants. A pattern that narrows the last one
// searched to the end (one more character typed) is looked for among that one's matches only.
// The table must outlive the worker.
class SearchWorker {
public:
    // Matches in directory order, shared by the worker, which narrows the next search to them,
    // and whoever shows them.
    using Matches = std::shared_ptr<const std::vector<EntryIndex>>;
    // Called on the worker's thread with a finished search's matches and its request number.
    using Deliver = std::function<void(std::uint64_t request, Matches matches)>;

    SearchWorker(const EntryTable& table, Deliver deliver);
    // Abandons the search and waits for the thread, which takes well under a millisecond.
    ~SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // Starts a search for `pattern` and returns its request number, higher than any before.
    std::uint64_t search(const NamePattern& pattern);
    // Abandons the search running or waiting, if any, and returns the number no search has.
    std::uint64_t abandon();

private:
    void run();
    std::optional<std::vector<EntryIndex>> find(const NamePattern& pattern, std::uint64_t request);
    bool current(std::uint64_t request) const { return latest_.load() == request; }

    const EntryTable& table_;
    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<NamePattern> waiting_;
    std::atomic<std::uint64_t> latest_{0};
    bool stopping_ = false;
    std::optional<NamePattern> lastPattern_;  // the last search that ran to the end; worker only
    Matches lastMatches_;
    std::thread thread_;  // last, so that it starts once the rest is ready
};

}  // namespace tarvix
