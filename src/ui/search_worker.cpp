#include "ui/search_worker.h"

#include <algorithm>

#include "archive/entry_search.h"

namespace tarvix {

SearchWorker::SearchWorker(const EntryTable& table, Deliver deliver)
    : table_(table), deliver_(std::move(deliver)), thread_([this] { run(); }) {}

SearchWorker::~SearchWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++latest_;
    }
    wake_.notify_one();
    thread_.join();
}

std::uint64_t SearchWorker::search(const NamePattern& pattern) {
    std::uint64_t request = 0;
    {
        std::lock_guard lock(mutex_);
        waiting_ = pattern;
        request = ++latest_;
    }
    wake_.notify_one();
    return request;
}

std::uint64_t SearchWorker::abandon() {
    std::lock_guard lock(mutex_);
    waiting_.reset();
    return ++latest_;
}

// The running search compares its number with the latest one between slices of entries, so a
// newer request, an abandon or the destructor stops it within a slice.
void SearchWorker::run() {
    for (;;) {
        std::optional<NamePattern> pattern;
        std::uint64_t request = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_) return;
            pattern.swap(waiting_);
            request = latest_.load();
        }
        auto matches = find(*pattern, request);
        if (!matches) continue;
        lastPattern_ = std::move(pattern);
        lastMatches_ = std::make_shared<const std::vector<EntryIndex>>(std::move(*matches));
        if (current(request)) deliver_(request, lastMatches_);
    }
}

std::optional<std::vector<EntryIndex>> SearchWorker::find(const NamePattern& pattern,
                                                          std::uint64_t request) {
    const auto abandoned = [&] { return !current(request); };
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (lastPattern_ && pattern.narrows(*lastPattern_)) {
        return FindEntriesAmong(table_, pattern, *lastMatches_, abandoned, threads);
    }
    return FindEntries(table_, pattern, abandoned, threads);
}

}  // namespace tarvix
