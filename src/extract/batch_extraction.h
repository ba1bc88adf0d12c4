#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "extract/entry_extractor.h"

namespace tarvix {

struct BatchReport {
    std::size_t total = 0;              // entries asked for
    std::size_t written = 0;            // entries that came out "ok"
    std::vector<std::string> failures;  // every outcome other than "ok", in order
    bool cancelled = false;
};

// Called before each entry with the number done so far; returning false stops the batch
// before that entry.
using BatchProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Extracts `entries` in order; one entry's failure never stops the others.
BatchReport ExtractBatch(DatArchive& archive, const EntryTable& table,
                         std::span<const EntryIndex> entries, const ExtractTarget& target,
                         const BatchProgress& progress = {});

// What the user is told after a batch: the failures, at most kReportedFailures of them and then
// how many more, and, after a cancel, how many files were written. Empty when all succeeded.
inline constexpr std::size_t kReportedFailures = 20;
std::string FormatBatchReport(const BatchReport& report);

}  // namespace tarvix
