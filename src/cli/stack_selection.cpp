#include "cli/stack_selection.h"

namespace tarvix::cli {

Selection SelectStackEntries(const SourceStack& stack, const std::vector<std::string>& patterns) {
    const StackEntryVector& entries = stack.entries();
    return SelectByName(
        entries.size(), [&entries](std::size_t i) { return std::string_view(entries[i].name); },
        patterns);
}

}  // namespace tarvix::cli
