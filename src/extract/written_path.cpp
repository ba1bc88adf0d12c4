#include "extract/written_path.h"

#include <algorithm>

#include "archive/cp1252.h"

namespace tarvix {

std::string WrittenPathOf(const DatArchive& archive, const EntryTable& table, EntryIndex index,
                          const ExtractTarget& target) {
    std::string path = Cp1252ToUtf8(PlanOutput(archive, table, index, target).path);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace tarvix
