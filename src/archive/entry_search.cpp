#include "archive/entry_search.h"

namespace tarvix {

std::optional<std::vector<EntryIndex>> FindEntries(const EntryTable& table,
                                                   const NamePattern& pattern,
                                                   const std::function<bool()>& abandoned) {
    std::vector<EntryIndex> matches;
    if (pattern.empty()) return matches;
    for (EntryIndex index = 0;; ++index) {
        const std::uint8_t* entry = table[index];
        if (entry == nullptr) return matches;
        if (index % kEntriesBetweenChecks == 0 && abandoned && abandoned()) return std::nullopt;
        if (pattern.matches(EntryName(entry))) matches.push_back(index);
    }
}

}  // namespace tarvix
