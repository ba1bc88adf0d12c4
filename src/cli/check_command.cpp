#include "cli/check_command.h"

#include <cstdio>

#include "archive/dat_entry.h"
#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/loaded_stack.h"
#include "cli/long_name_note.h"
#include "cli/output_buffer.h"
#include "cli/watched_run.h"
#include "extract/archive_check.h"
#include "extract/stack_batch.h"
#include "pack/order_notes.h"

namespace tarvix::cli {
namespace {

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Notes do not count as problems: the archive is sound, only Linux cannot hold the name.
std::size_t AppendLongNameNotes(const LoadedArchive& loaded, OutputBuffer& out) {
    std::size_t notes = 0;
    for (EntryIndex i = 0; i < loaded.archive.entryCount(); ++i) {
        if (const auto note = LongNameNote(EntryName(loaded.table[i]))) {
            out.text() += *note;
            out.text() += '\n';
            out.lineDone();
            ++notes;
        }
    }
    return notes;
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
    const int stopSignal = RunWatched(
        [&] {
            report = stack ? CheckStack(*stack, options)
                           : CheckArchive(loaded->archive, loaded->table, options);
        },
        monitor, progress);
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
    // Notes tell where the archive's reading and extraction on Linux part ways with the game or
    // with what the file system holds; they are no damage, so the exit status does not count
    // them.
    std::size_t notes = 0;
    const auto note = [&out, &notes](const std::string& line) {
        out.text() += PrintableLine(line);
        out.text() += '\n';
        out.lineDone();
        ++notes;
    };
    for (const std::string& line : report.notes) note(line);
    if (loaded) {
        notes += AppendLongNameNotes(*loaded, out);
        // Fallout 1 looks its entries up by directory, not by a binary search over them all.
        if (loaded->archive.format() == ArchiveFormat::Dat2) {
            for (const std::string& line : OrderNotes(loaded->archive, loaded->table)) note(line);
        }
    }
    out.text() += Counted(report.checked, "entry", "entries") + " checked, " +
                  Counted(report.problems.size(), "problem", "problems");
    if (notes > 0) out.text() += ", " + Counted(notes, "note", "notes");
    out.text() += '\n';
    return report.problems.empty() ? kExitDone : kExitFailures;
}

}  // namespace tarvix::cli
