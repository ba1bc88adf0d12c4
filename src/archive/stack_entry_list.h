#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/large_block.h"
#include "archive/source_stack.h"

namespace tarvix {

// The effective entries of a built stack laid out as one Fallout 2 entry list (see
// DatArchive::loadEntryList), record i standing for stack.entries()[i], so that a front-end
// that shows an archive shows the stack as it is: every name is its folder's path as the union
// spells it, then the winner's file name, so that ART\CRITTERS and art\critters of two sources
// make one folder; the sizes are the winning copy's (RealSize, and its stored length as
// PackedSize), the Type 0 for a stored copy and 1 for a packed one. Offsets are 0: the stored
// bytes are read from the winning source, never through this list.
struct LaidOutEntries {
    LargeBlock bytes;
    std::size_t size = 0;     // bytes used
    std::size_t entries = 0;  // records
};
LaidOutEntries StackEntryList(const SourceStack& stack);

// How the window names the source of an entry: the archive's file name, or the folder's name
// followed by '/'.
std::string SourceShortName(const StackSource& source);

}  // namespace tarvix
