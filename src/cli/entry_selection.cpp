#include "cli/entry_selection.h"

#include <cstdio>

#include "archive/name_pattern.h"
#include "cli/display_text.h"

namespace tarvix::cli {
namespace {

std::vector<EntryIndex> EveryEntry(std::size_t count) {
    std::vector<EntryIndex> entries(count);
    for (std::size_t i = 0; i < count; ++i) entries[i] = static_cast<EntryIndex>(i);
    return entries;
}

}  // namespace

Selection SelectByName(std::size_t count,
                       const std::function<std::string_view(std::size_t)>& nameOf,
                       const std::vector<std::string>& patterns) {
    Selection selection;
    if (patterns.empty()) {
        selection.entries = EveryEntry(count);
        return selection;
    }
    std::vector<NamePattern> compiled;
    compiled.reserve(patterns.size());
    for (const std::string& p : patterns)
        compiled.emplace_back(p, NamePattern::Plain::EntryOrFolder);
    std::vector<bool> used(patterns.size(), false);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view name = nameOf(i);
        bool selected = false;
        // Every pattern is tried until it has matched once, so that each unmatched one is known.
        for (std::size_t p = 0; p < compiled.size(); ++p) {
            if ((selected && used[p]) || !compiled[p].matches(name)) continue;
            used[p] = true;
            selected = true;
        }
        if (selected) selection.entries.push_back(static_cast<EntryIndex>(i));
    }
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        if (!used[p]) selection.unmatched.push_back(patterns[p]);
    }
    return selection;
}

Selection SelectEntries(const DatArchive& archive, const EntryTable& table,
                        const std::vector<std::string>& patterns) {
    return SelectByName(
        archive.entryCount(),
        [&table](std::size_t i) { return EntryName(table[static_cast<EntryIndex>(i)]); }, patterns);
}

bool ReportUnmatched(const Selection& selection) {
    for (const std::string& pattern : selection.unmatched) {
        std::fprintf(stderr, "tarvix-cli: no entry matches %s\n", QuoteArgument(pattern).c_str());
    }
    return !selection.unmatched.empty();
}

}  // namespace tarvix::cli
