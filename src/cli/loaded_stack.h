#pragma once

#include "archive/packing_kind.h"

#include <cstdint>
#include <memory>
#include <string>

#include "archive/source_stack.h"
#include "cli/command_line.h"

namespace tarvix::cli {

// The stack of a run: the -L sources in the order given, or the game folder's own stack.
// Missing sources of a game folder are named in a note on stderr; a source that cannot be
// opened is named with the reason on stderr, and then nothing is returned.
// `built` false leaves the union unbuilt and folder sources' files unmeasured (sizes 0), for
// SourceStack::lookUp of names alone: each costs more than a few lookups (5,000 files measured
// were 20 of the 60 ms of `which` over a game-size stack).
std::unique_ptr<SourceStack> LoadStack(const CommandLine& line, bool built = true);

// What --long and --json show of an entry, whichever kind of source holds it; a folder's file
// is a stored entry at offset 0.
struct CopyFacts {
    std::uint32_t type = 0;  // the raw packing field
    PackingKind packing = PackingKind::Stored;
    std::uint64_t realSize = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t offset = 0;
};
CopyFacts FactsOf(const SourceStack& stack, const StackCopy& copy);

// The effective entry's winning copy.
inline StackCopy WinnerOf(const StackEntry& entry) {
    return {entry.source, entry.index};
}

}  // namespace tarvix::cli
