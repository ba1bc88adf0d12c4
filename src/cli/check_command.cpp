#include "cli/check_command.h"

#include <cstdio>

#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/output_buffer.h"
#include "cli/watched_run.h"
#include "extract/archive_check.h"

namespace tarvix::cli {
namespace {

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunCheck(const CommandLine& line) {
    const auto loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    if (!loaded) return kExitUsage;
    BatchMonitor monitor;
    CheckOptions options;
    options.monitor = &monitor;
    ArchiveCheckReport report;
    ProgressLine progress(!line.quiet && ProgressLine::StderrIsTerminal());
    const int stopSignal = RunWatched(
        [&] { report = CheckArchive(loaded->archive, loaded->table, options); }, monitor, progress);
    // A signal that came after the last entry was checked stopped nothing.
    if (stopSignal != 0 && report.cancelled) {
        std::fprintf(stderr, "tarvix-cli: interrupted: %zu of %zu entries checked\n",
                     report.checked, report.total);
        return StoppedStatus(stopSignal);
    }
    OutputBuffer out;
    for (const std::string& problem : report.problems) {
        out.text() += PrintableLine(problem);
        out.text() += '\n';
        out.lineDone();
    }
    for (const std::string& note : report.notes) {
        out.text() += PrintableLine(note);
        out.text() += '\n';
        out.lineDone();
    }
    out.text() += Counted(report.checked, "entry", "entries") + " checked, " +
                  Counted(report.problems.size(), "problem", "problems");
    if (!report.notes.empty()) out.text() += ", " + Counted(report.notes.size(), "note", "notes");
    out.text() += '\n';
    return report.problems.empty() ? kExitDone : kExitFailures;
}

}  // namespace tarvix::cli
