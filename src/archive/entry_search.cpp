#include "archive/entry_search.h"

#include <algorithm>
#include <thread>

namespace tarvix {
namespace {

// Every entry has its slot and nulls follow the last one, so the first null is the count.
std::size_t CountEntries(const EntryTable& table) {
    std::size_t low = 0;
    std::size_t high = table.slotCount();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (table[static_cast<EntryIndex>(middle)] != nullptr) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// The entries at positions [begin, end) of the ones searched (`among`, or all when null);
// false when abandoned on the way.
bool ScanRun(const EntryTable& table, const NamePattern& pattern,
             const std::vector<EntryIndex>* among, std::size_t begin, std::size_t end,
             const std::function<bool()>& abandoned, std::vector<EntryIndex>& matches) {
    for (std::size_t at = begin; at < end; ++at) {
        if ((at - begin) % kEntriesBetweenChecks == 0 && abandoned && abandoned()) return false;
        const auto index = among ? (*among)[at] : static_cast<EntryIndex>(at);
        if (pattern.matches(EntryName(table[index]))) matches.push_back(index);
    }
    return true;
}

// Splits `count` entries into runs, one per thread, and joins their matches in order.
std::optional<std::vector<EntryIndex>> Search(const EntryTable& table, const NamePattern& pattern,
                                              const std::vector<EntryIndex>* among,
                                              std::size_t count,
                                              const std::function<bool()>& abandoned,
                                              unsigned threads) {
    if (pattern.empty()) return std::vector<EntryIndex>{};
    const std::size_t runs = std::clamp<std::size_t>(count / kEntriesPerThread, 1, threads);
    std::vector<std::vector<EntryIndex>> found(runs);
    std::vector<char> complete(runs, 0);
    const auto scan = [&](std::size_t run) {
        complete[run] = ScanRun(table, pattern, among, count * run / runs, count * (run + 1) / runs,
                                abandoned, found[run]);
    };
    std::vector<std::thread> helpers;
    for (std::size_t run = 1; run < runs; ++run) helpers.emplace_back(scan, run);
    scan(0);
    for (std::thread& helper : helpers) helper.join();

    if (std::find(complete.begin(), complete.end(), 0) != complete.end()) return std::nullopt;
    std::vector<EntryIndex> matches = std::move(found[0]);
    for (std::size_t run = 1; run < runs; ++run) {
        matches.insert(matches.end(), found[run].begin(), found[run].end());
    }
    return matches;
}

}  // namespace

std::optional<std::vector<EntryIndex>> FindEntries(const EntryTable& table,
                                                   const NamePattern& pattern,
                                                   const std::function<bool()>& abandoned,
                                                   unsigned threads) {
    return Search(table, pattern, nullptr, CountEntries(table), abandoned, threads);
}

std::optional<std::vector<EntryIndex>> FindEntriesAmong(const EntryTable& table,
                                                        const NamePattern& pattern,
                                                        const std::vector<EntryIndex>& candidates,
                                                        const std::function<bool()>& abandoned,
                                                        unsigned threads) {
    return Search(table, pattern, &candidates, candidates.size(), abandoned, threads);
}

}  // namespace tarvix
