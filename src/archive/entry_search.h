#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "archive/entry_table.h"
#include "archive/name_pattern.h"

namespace tarvix {

// How many entries a search looks at between two questions whether it is still wanted: a
// fraction of a millisecond, so an abandoned search stops at once, yet rarely enough that
// asking costs nothing.
inline constexpr std::size_t kEntriesBetweenChecks = 4096;
// The fewest entries worth a thread of their own: a few milliseconds of matching, against
// some tens of microseconds to start the thread.
inline constexpr std::size_t kEntriesPerThread = 32768;

// The entries of `table` whose full internal path matches `pattern`, in directory order.
// `abandoned`, if given, is asked every kEntriesBetweenChecks entries; once it answers yes the
// search stops and gives nothing. Up to `threads` threads share the entries, each taking one
// run of them, and may ask `abandoned` at the same time. The names are read where they lie in
// the entry list: nothing is copied but the matching indexes.
std::optional<std::vector<EntryIndex>> FindEntries(const EntryTable& table,
                                                   const NamePattern& pattern,
                                                   const std::function<bool()>& abandoned = {},
                                                   unsigned threads = 1);

// The same among `candidates` only (in directory order), for a pattern that narrows the one
// that found them: typing one more character then looks at the earlier results alone.
std::optional<std::vector<EntryIndex>> FindEntriesAmong(const EntryTable& table,
                                                        const NamePattern& pattern,
                                                        const std::vector<EntryIndex>& candidates,
                                                        const std::function<bool()>& abandoned = {},
                                                        unsigned threads = 1);

}  // namespace tarvix
