#include "extract/batch_extraction.h"

namespace tarvix {

BatchReport ExtractBatch(DatArchive& archive, const EntryTable& table,
                         std::span<const EntryIndex> entries, const ExtractTarget& target,
                         const BatchProgress& progress) {
    BatchReport report;
    report.total = entries.size();
    for (std::size_t done = 0; done < entries.size(); ++done) {
        if (progress && !progress(done, entries.size())) {
            report.cancelled = true;
            break;
        }
        std::string outcome = ExtractEntry(archive, table, entries[done], target);
        if (outcome == kOutcomeOk) {
            ++report.written;
        } else {
            report.failures.push_back(std::move(outcome));
        }
    }
    if (progress && !report.cancelled) progress(entries.size(), entries.size());
    return report;
}

std::string FormatBatchReport(const BatchReport& report) {
    std::string text;
    if (report.cancelled) {
        text = "Extraction cancelled: " + std::to_string(report.written) + " of " +
               std::to_string(report.total) + " file(s) written.";
    }
    if (!report.failures.empty()) {
        if (!text.empty()) text += "\n\n";
        text += std::to_string(report.failures.size()) + " of " + std::to_string(report.total) +
                " file(s) could not be extracted:";
        const std::size_t shown = std::min(report.failures.size(), kReportedFailures);
        for (std::size_t i = 0; i < shown; ++i) text += "\n" + report.failures[i];
        if (report.failures.size() > shown) {
            text += "\n... and " + std::to_string(report.failures.size() - shown) + " more";
        }
    }
    return text;
}

}  // namespace tarvix
