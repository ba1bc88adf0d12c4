#include "cli/check_command.h"

#include <cstdio>

#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/loaded_stack.h"
#include "cli/output_buffer.h"
#include "cli/watched_run.h"
#include "extract/archive_check.h"
#include "extract/stack_batch.h"

namespace tarvix::cli {
namespace {

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunCheck(const CommandLine& line) {
    std::unique_ptr<LoadedArchive> loaded;
    std::unique_ptr<SourceStack> stack;
    if (line.overStack()) {
        stack = LoadStack(line);
    } else {
        loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    }
    if (!loaded && !stack) return kExitUsage;
    BatchMonitor monitor;
    CheckOptions options;
    options.monitor = &monitor;
    ArchiveCheckReport report;
    ProgressLine progress(!line.quiet && ProgressLine::StderrIsTerminal());
    const bool interrupted = RunWatched(
        [&] {
            report = stack ? CheckStack(*stack, options)
                           : CheckArchive(loaded->archive, loaded->table, options);
        },
        monitor, progress);
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
    out.text() += Counted(report.checked, "entry", "entries") + " checked, " +
                  Counted(report.problems.size(), "problem", "problems") + "\n";
    return report.problems.empty() ? kExitDone : kExitFailures;
}

}  // namespace tarvix::cli
