#include "pack/order_notes.h"

#include "archive/cp1252.h"
#include "archive/game_path.h"

namespace tarvix {

std::vector<std::string> OrderNotes(const DatArchive& archive, const EntryTable& table) {
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < archive.entryCount(); ++i) {
        const std::string_view before = EntryName(table[static_cast<EntryIndex>(i - 1)]);
        const std::string_view name = EntryName(table[static_cast<EntryIndex>(i)]);
        const int order = CompareGamePaths(before, name);
        if (order == 0) {
            notes.push_back(Cp1252ToUtf8(name) + ": note: the same path as '" +
                            Cp1252ToUtf8(before) + "' to the game, which finds only one");
        } else if (order > 0) {
            notes.push_back(Cp1252ToUtf8(name) + ": note: out of the game's order (after '" +
                            Cp1252ToUtf8(before) + "'), the game may not find it");
        }
    }
    return notes;
}

}  // namespace tarvix
