#include "cli/extract_command.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/display_text.h"
#include "cli/entry_selection.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/loaded_stack.h"
#include "cli/output_buffer.h"
#include "cli/stack_selection.h"
#include "cli/watched_run.h"
#include "cli/written_files.h"
#include "extract/batch_extraction.h"
#include "extract/extraction_plan.h"
#include "extract/stack_batch.h"

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

ExtractionOptions OptionsOf(const CommandLine& line) {
    return {/*preservePaths*/ !line.flat, /*unpack*/ !line.raw};
}

ExtractionPlan PlanFor(const CommandLine& line, const LoadedArchive& loaded,
                       std::vector<EntryIndex> entries) {
    ExtractionSubject subject{ExtractionSubject::Kind::Entries, std::move(entries)};
    return PlanExtraction(loaded.archive, loaded.folders.get(), std::move(subject), OptionsOf(line),
                          fs::path(line.directory));
}

// With -v, each file written on stdout; always, on stderr, each file that a later entry of
// the batch wrote over (with --flat, same-named entries of different folders), which would
// otherwise be lost in silence.
void PrintWrittenFiles(const CommandLine& line, const WrittenFiles& written,
                       const std::vector<std::string>& replacedLines) {
    for (const std::string& replaced : replacedLines)
        std::fprintf(stderr, "%s\n", PrintableLine(replaced).c_str());
    if (!line.verbose) return;
    OutputBuffer out;
    for (const std::string& path : written.paths) {
        out.text() += PrintableLine(path);
        out.text() += '\n';
        out.lineDone();
    }
}

void ReportWrittenFiles(const CommandLine& line, const LoadedArchive& loaded,
                        std::span<const EntryIndex> batch, const ExtractTarget& target,
                        const BatchReport& report) {
    const WrittenFiles written =
        WrittenFilesOf(loaded.archive, loaded.table, batch, report.writtenPositions, target);
    PrintWrittenFiles(line, written, ReplacedFileLines(loaded.table, written));
}

void ReportWrittenStackFiles(const CommandLine& line, const SourceStack& stack,
                             std::span<const std::uint32_t> places, const ExtractTarget& target,
                             const BatchReport& report) {
    const WrittenFiles written =
        StackWrittenFilesOf(stack, places, report.writtenPositions, target);
    PrintWrittenFiles(line, written, ReplacedFileLines(stack, written));
}

// The batch's refusal or its failures, on standard error. False when it was refused whole.
bool ReportFailures(const BatchReport& report) {
    if (report.noRoom) {
        std::fprintf(stderr, "tarvix-cli: %s\n", NoRoomText(*report.noRoom).c_str());
        return false;
    }
    for (const std::string& failure : report.failures)
        std::fprintf(stderr, "%s\n", PrintableLine(failure).c_str());
    return true;
}

int ExitStatusOf(const BatchReport& report, int stopSignal, bool unmatched) {
    // A signal that came after the last entry was written stopped nothing.
    if (stopSignal != 0 && report.cancelled) {
        std::fprintf(stderr, "tarvix-cli: interrupted: %zu of %zu file(s) written\n",
                     report.written, report.total);
        return StoppedStatus(stopSignal);
    }
    return unmatched || !report.failures.empty() ? kExitFailures : kExitDone;
}

int RunStackExtract(const CommandLine& line) {
    const auto stack = LoadStack(line);
    if (!stack) return kExitUsage;
    const Selection selection = SelectStackEntries(*stack, line.patterns);
    const bool unmatched = ReportUnmatched(selection);
    const ExtractTarget target = TargetForEntries(OptionsOf(line), fs::path(line.directory));
    BatchMonitor monitor;
    BatchOptions options;
    options.monitor = &monitor;
    BatchReport report;
    ProgressLine progress(!line.quiet && ProgressLine::StderrIsTerminal());
    const int stopSignal =
        RunWatched([&] { report = ExtractStack(*stack, selection.entries, target, options); },
                   monitor, progress);
    if (!ReportFailures(report)) return kExitFailures;
    ReportWrittenStackFiles(line, *stack, selection.entries, target, report);
    return ExitStatusOf(report, stopSignal, unmatched);
}

}  // namespace

int RunExtract(const CommandLine& line) {
    if (!IsUsableDestination(line.directory)) return kExitUsage;
    if (line.overStack()) return RunStackExtract(line);
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
    const int stopSignal = RunWatched(
        [&] {
            report =
                ExtractBatch(loaded->archive, loaded->table, plan.entries, plan.target, options);
        },
        monitor, progress);

    if (!ReportFailures(report)) return kExitFailures;
    ReportWrittenFiles(line, *loaded, plan.entries, plan.target, report);
    return ExitStatusOf(report, stopSignal, unmatched);
}

}  // namespace tarvix::cli
