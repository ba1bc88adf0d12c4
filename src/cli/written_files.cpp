#include "cli/written_files.h"

#include <string_view>
#include <unordered_map>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/written_path.h"

namespace tarvix::cli {

WrittenFiles WrittenFilesOf(const DatArchive& archive, const EntryTable& table,
                            std::span<const EntryIndex> batch,
                            std::span<const std::size_t> writtenPositions,
                            const ExtractTarget& target) {
    WrittenFiles written;
    written.entries.reserve(writtenPositions.size());
    written.paths.reserve(writtenPositions.size());
    for (std::size_t position : writtenPositions) {
        written.entries.push_back(batch[position]);
        written.paths.push_back(WrittenPathOf(archive, table, batch[position], target));
    }
    return written;
}

std::vector<std::string> ReplacedFileLines(const EntryTable& table, const WrittenFiles& written) {
    std::vector<std::string> lines;
    std::unordered_map<std::string_view, EntryIndex> lastWriter;
    for (std::size_t i = 0; i < written.paths.size(); ++i) {
        const EntryIndex entry = written.entries[i];
        const auto [it, first] = lastWriter.try_emplace(written.paths[i], entry);
        if (first) continue;
        lines.push_back(Cp1252ToUtf8(EntryName(table[it->second])) + ": replaced by " +
                        Cp1252ToUtf8(EntryName(table[entry])) + " in " + written.paths[i]);
        it->second = entry;
    }
    return lines;
}

}  // namespace tarvix::cli
