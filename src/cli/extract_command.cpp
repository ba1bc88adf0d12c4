#include "cli/extract_command.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/display_text.h"
#include "cli/entry_selection.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/watched_run.h"
#include "extract/batch_extraction.h"
#include "extract/extraction_plan.h"

namespace tarvix::cli {
namespace {

namespace fs = std::filesystem;

// The destination must already be a folder: extraction makes folders below it, never it.
bool IsUsableDestination(const std::string& dir) {
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(dir), ec);
    const char* problem = nullptr;
    if (status.type() == fs::file_type::not_found) {
        problem = "no such folder";
    } else if (ec) {
        problem = std::strerror(ec.value());
    } else if (status.type() != fs::file_type::directory) {
        problem = "not a folder";
    }
    if (problem) std::fprintf(stderr, "tarvix-cli: %s: %s\n", QuoteArgument(dir).c_str(), problem);
    return problem == nullptr;
}

ExtractionPlan PlanFor(const CommandLine& line, const LoadedArchive& loaded,
                       std::vector<EntryIndex> entries) {
    ExtractionSubject subject{ExtractionSubject::Kind::Entries, std::move(entries)};
    const ExtractionOptions options{/*preservePaths*/ !line.flat, /*unpack*/ !line.raw};
    return PlanExtraction(loaded.archive, loaded.folders.get(), std::move(subject), options,
                          fs::path(line.directory));
}

}  // namespace

int RunExtract(const CommandLine& line) {
    if (!IsUsableDestination(line.directory)) return kExitUsage;
    const auto loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    if (!loaded) return kExitUsage;
    Selection selection = SelectEntries(loaded->archive, loaded->table, line.patterns);
    const bool unmatched = ReportUnmatched(selection);

    const ExtractionPlan plan = PlanFor(line, *loaded, std::move(selection.entries));
    BatchMonitor monitor;
    BatchOptions options;
    options.monitor = &monitor;
    BatchReport report;
    ProgressLine progress(!line.quiet && ProgressLine::StderrIsTerminal());
    const bool interrupted = RunWatched(
        [&] {
            report =
                ExtractBatch(loaded->archive, loaded->table, plan.entries, plan.target, options);
        },
        monitor, progress);

    for (const std::string& failure : report.failures)
        std::fprintf(stderr, "%s\n", PrintableLine(failure).c_str());
    if (interrupted) {
        std::fprintf(stderr, "tarvix-cli: interrupted: %zu of %zu file(s) written\n",
                     report.written, report.total);
        return kExitInterrupted;
    }
    return unmatched || !report.failures.empty() ? kExitFailures : kExitDone;
}

}  // namespace tarvix::cli
