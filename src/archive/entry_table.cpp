#include "archive/entry_table.h"

#include <algorithm>

#include "archive/dat_archive.h"

namespace tarvix {

void EntryTable::reset(std::size_t entries, ArchiveFormat format) {
    format_ = format;
    slots_.assign(std::max(kInitialSlots, entries + 1), nullptr);
}

void EntryTable::set(EntryIndex index, const std::uint8_t* entry) {
    if (index >= slots_.size()) {
        slots_.resize(std::max<std::size_t>(std::size_t{index} + 1, slots_.size() * 2), nullptr);
    }
    slots_[index] = entry;
}

void FillEntryTable(const DatArchive& archive, EntryTable& table) {
    const std::span<const std::uint8_t> list = archive.dirBlock();
    table.reset(archive.entryCount(), archive.format());
    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < list.size(); ++i) {
        table.set(i, list.data() + pos);
        pos += static_cast<std::size_t>(EntryStride(list.data() + pos));
    }
    table.set(i, nullptr);
}

}  // namespace tarvix
