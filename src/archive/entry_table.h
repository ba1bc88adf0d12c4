#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/archive_format.h"
#include "archive/dat_entry.h"

namespace tarvix {

class DatArchive;

// Where each entry begins inside the loaded entry list, by EntryIndex, with a null after the
// last one. Starts with 25000 null slots and grows when an index beyond them is set.
class EntryTable {
public:
    static constexpr std::size_t kInitialSlots = 25000;

    // Null slots for `entries` entries and the null after them, and never fewer than
    // kInitialSlots, so that a walk that knows its count sets every slot without growing.
    // The format says how the records the slots point to are read (see GetEntryInfo).
    void reset(std::size_t entries = 0, ArchiveFormat format = ArchiveFormat::Dat2);
    void set(EntryIndex index, const std::uint8_t* entry);

    // Null for the slot after the last entry and for every index beyond the table.
    const std::uint8_t* operator[](EntryIndex index) const {
        return index < slots_.size() ? slots_[index] : nullptr;
    }
    std::size_t slotCount() const { return slots_.size(); }
    ArchiveFormat format() const { return format_; }

private:
    std::vector<const std::uint8_t*> slots_;
    ArchiveFormat format_ = ArchiveFormat::Dat2;
};

// Points the table at every entry of the loaded archive, in directory order, exactly as the
// folder index's walk does, for a front-end that needs the entries but no tree (listing a
// million entries should not pay for a tree it never shows).
void FillEntryTable(const DatArchive& archive, EntryTable& table);

}  // namespace tarvix
