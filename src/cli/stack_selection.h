#pragma once

#include <string>
#include <vector>

#include "archive/source_stack.h"
#include "cli/entry_selection.h"

namespace tarvix::cli {

// The effective entries of `stack` that any of `patterns` selects, by the rules of
// SelectEntries; `entries` are places in stack.entries(), in the stack's order.
Selection SelectStackEntries(const SourceStack& stack, const std::vector<std::string>& patterns);

}  // namespace tarvix::cli
