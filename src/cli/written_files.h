#pragma once

#include <span>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/source_stack.h"
#include "extract/entry_extractor.h"

namespace tarvix::cli {

// The files one extraction wrote: for each entry that came out "ok", in the order asked for,
// its path below the destination (UTF-8, '/' between components).
struct WrittenFiles {
    std::vector<EntryIndex> entries;
    std::vector<std::string> paths;
};

WrittenFiles WrittenFilesOf(const DatArchive& archive, const EntryTable& table,
                            std::span<const EntryIndex> batch,
                            std::span<const std::size_t> writtenPositions,
                            const ExtractTarget& target);

// The same over a stack: `writtenPositions` into `places` (effective entries), in the order the
// files were written (ExtractStack).
WrittenFiles StackWrittenFilesOf(const SourceStack& stack, std::span<const std::uint32_t> places,
                                 std::span<const std::size_t> writtenPositions,
                                 const ExtractTarget& target);

// One line for each written file that a later entry of the same batch wrote over, in the
// order of the later entries: "<entry>: replaced by <later entry> in <path>", entries by
// their internal paths. Files that were there before the batch are not counted.
std::vector<std::string> ReplacedFileLines(const EntryTable& table, const WrittenFiles& written);
// The same over a stack, entries by their effective paths.
std::vector<std::string> ReplacedFileLines(const SourceStack& stack, const WrittenFiles& written);

}  // namespace tarvix::cli
