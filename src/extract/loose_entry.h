#pragma once

#include <cstdint>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/stack_source.h"

namespace tarvix {

// A folder's file as a one-entry archive with the table that points at its entry, so that it
// is read, checked and extracted as the stored entry it is.
struct LooseEntry {
    DatArchive archive;
    EntryTable table;

    bool open(const StackSource& source, std::uint32_t index) {
        if (!source.openLooseFile(index, archive)) return false;
        // One slot, not EntryTable::reset's thousands: a stack may hold thousands of such
        // files.
        table.set(0, archive.dirBlock().data());
        return true;
    }
};

}  // namespace tarvix
