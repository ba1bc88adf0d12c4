#include "cli/check_command.h"

#include <cstdio>

#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/output_buffer.h"
#include "cli/watched_run.h"
#include "extract/archive_check.h"
#include "pack/order_notes.h"

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
    const bool interrupted = RunWatched(
        [&] { report = CheckArchive(loaded->archive, loaded->table, options); }, monitor, progress);
    if (interrupted) {
        std::fprintf(stderr, "tarvix-cli: interrupted: %zu of %zu entries checked\n",
                     report.checked, report.total);
        return kExitInterrupted;
    }
    OutputBuffer out;
    for (const std::string& problem : report.problems) {
        out.text() += PrintableLine(problem);
        out.text() += '\n';
        out.lineDone();
    }
    // Notes tell what keeps the game from finding entries; they are no damage, so the exit
    // status does not count them.
    const std::vector<std::string> notes = OrderNotes(loaded->archive, loaded->table);
    for (const std::string& note : notes) {
        out.text() += PrintableLine(note);
        out.text() += '\n';
        out.lineDone();
    }
    out.text() += Counted(report.checked, "entry", "entries") + " checked, " +
                  Counted(report.problems.size(), "problem", "problems");
    if (!notes.empty()) out.text() += ", " + Counted(notes.size(), "note", "notes");
    out.text() += "\n";
    return report.problems.empty() ? kExitDone : kExitFailures;
}

}  // namespace tarvix::cli
