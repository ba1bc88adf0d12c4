#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/source_stack.h"
#include "extract/archive_check.h"
#include "extract/batch_extraction.h"

namespace tarvix {

// Checks every effective entry of the stack, each in its winning source, in the stack's order:
// a damaged copy that a winner hides is never read. A folder's file is checked as the stored
// entry it is read as. Problem lines name the winning source first: "<source>: <path>:
// <problem>". One entry at a time, on the calling thread.
ArchiveCheckReport CheckStack(const SourceStack& stack, const CheckOptions& options = {});

// Extracts the effective entries at `places` (into stack.entries()), each from its winning
// source, with the rules of ExtractBatch: source after source in the stack's order, within one
// source folder after folder in the order asked for, an archive's entries one batch per
// folder, a folder's files one after the other. With their
// own folders, entries are written below their folder as the union spells it, so that
// ART\CRITTERS and art\critters of two sources make one folder. A later
// source's entry that would write the same file as an earlier one replaces it, or fails where
// a file stands in the way of a folder. `beforeEntry` is not called.
//
// As one batch: the room for every entry is checked before the first is written (noRoom, and
// nothing written, when it cannot fit), and the monitor counts every entry and stored byte of
// the selection from start to finish. The report's writtenPositions (into `places`) come in
// the order the files were written: of two entries that write the same file, the later one
// there is the one whose file stays.
BatchReport ExtractStack(const SourceStack& stack, std::span<const std::uint32_t> places,
                         const ExtractTarget& target, const BatchOptions& options = {});

// Where below the target's destination ExtractStack puts the effective entry at `place`, as
// WrittenPathOf says it for an archive's entry: UTF-8, '/' between the components. Empty for a
// folder's file that cannot be opened now.
std::string StackWrittenPath(const SourceStack& stack, std::uint32_t place,
                             const ExtractTarget& target);

}  // namespace tarvix
