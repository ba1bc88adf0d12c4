#include "cli/stack_selection.h"

#include "archive/name_pattern.h"

namespace tarvix::cli {

Selection SelectStackEntries(const SourceStack& stack, const std::vector<std::string>& patterns) {
    Selection selection;
    const std::vector<StackEntry>& entries = stack.entries();
    std::vector<NamePattern> compiled;
    compiled.reserve(patterns.size());
    for (const std::string& p : patterns) {
        compiled.emplace_back(p, NamePattern::Plain::EntryOrFolder);
    }
    std::vector<bool> used(patterns.size(), false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bool selected = compiled.empty();
        // Every pattern is tried until it has matched once, so that each unmatched one is known.
        for (std::size_t p = 0; p < compiled.size(); ++p) {
            if ((selected && used[p]) || !compiled[p].matches(entries[i].name)) continue;
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

}  // namespace tarvix::cli
