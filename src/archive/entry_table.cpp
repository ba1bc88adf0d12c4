#include "archive/entry_table.h"

#include <algorithm>

namespace tarvix {

void EntryTable::reset(std::size_t entries) {
    slots_.assign(std::max(kInitialSlots, entries + 1), nullptr);
}

void EntryTable::set(EntryIndex index, const std::uint8_t* entry) {
    if (index >= slots_.size()) {
        slots_.resize(std::max<std::size_t>(std::size_t{index} + 1, slots_.size() * 2), nullptr);
    }
    slots_[index] = entry;
}

}  // namespace tarvix
