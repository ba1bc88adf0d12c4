#include "cli/written_files.h"

#include <string_view>
#include <unordered_map>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/stack_batch.h"
#include "extract/written_path.h"

namespace tarvix::cli {

namespace {

// The entries at the written positions of a batch of `indices`, with the path `pathOf` gives.
template <typename Index, typename PathOf>
WrittenFiles Collect(std::span<const Index> indices, std::span<const std::size_t> positions,
                     PathOf pathOf) {
    WrittenFiles written;
    written.entries.reserve(positions.size());
    written.paths.reserve(positions.size());
    for (std::size_t position : positions) {
        written.entries.push_back(indices[position]);
        written.paths.push_back(pathOf(indices[position]));
    }
    return written;
}

}  // namespace

WrittenFiles WrittenFilesOf(const DatArchive& archive, const EntryTable& table,
                            std::span<const EntryIndex> batch,
                            std::span<const std::size_t> writtenPositions,
                            const ExtractTarget& target) {
    return Collect(batch, writtenPositions,
                   [&](EntryIndex entry) { return WrittenPathOf(archive, table, entry, target); });
}

WrittenFiles StackWrittenFilesOf(const SourceStack& stack, std::span<const std::uint32_t> places,
                                 std::span<const std::size_t> writtenPositions,
                                 const ExtractTarget& target) {
    return Collect(places, writtenPositions,
                   [&](std::uint32_t place) { return StackWrittenPath(stack, place, target); });
}

namespace {

// Entries by the name `nameOf` gives them.
template <typename NameOf>
std::vector<std::string> ReplacedLines(const WrittenFiles& written, NameOf nameOf) {
    std::vector<std::string> lines;
    std::unordered_map<std::string_view, EntryIndex> lastWriter;
    for (std::size_t i = 0; i < written.paths.size(); ++i) {
        const EntryIndex entry = written.entries[i];
        const auto [it, first] = lastWriter.try_emplace(written.paths[i], entry);
        if (first) continue;
        lines.push_back(Cp1252ToUtf8(nameOf(it->second)) + ": replaced by " +
                        Cp1252ToUtf8(nameOf(entry)) + " in " + written.paths[i]);
        it->second = entry;
    }
    return lines;
}

}  // namespace

std::vector<std::string> ReplacedFileLines(const EntryTable& table, const WrittenFiles& written) {
    return ReplacedLines(written, [&](EntryIndex entry) { return EntryName(table[entry]); });
}

std::vector<std::string> ReplacedFileLines(const SourceStack& stack, const WrittenFiles& written) {
    return ReplacedLines(written, [&](EntryIndex place) { return stack.entries()[place].name; });
}

}  // namespace tarvix::cli
