#include "cli/pack_command.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "archive/game_path.h"
#include "archive/open_without_waiting.h"
#include "archive/unique_fd.h"
#include "cli/display_text.h"
#include "cli/entry_selection.h"
#include "cli/exit_status.h"
#include "cli/loaded_archive.h"
#include "cli/watched_run.h"
#include "pack/archive_writer.h"
#include "pack/kept_entries.h"

namespace tarvix::cli {
namespace {

namespace fs = std::filesystem;

void Say(const std::string& text) {
    std::fprintf(stderr, "tarvix-cli: %s\n", PrintableLine(text).c_str());
}

int NothingWritten(const CommandLine& line) {
    Say(QuoteArgument(line.archive) + ": nothing written");
    return kExitUsage;
}

int Refuse(const std::string& why, const CommandLine& line) {
    Say(why);
    return NothingWritten(line);
}

std::string_view NameOf(const SourceFile& file) {
    return file.name;
}
std::string_view NameOf(std::string_view name) {
    return name;
}

// The files to pack, with what was skipped reported; nothing when something is refused.
struct Sources {
    SourceScan scan;
    bool usable = false;
};

Sources ScanAndReport(const CommandLine& line) {
    Sources sources{ScanSources(fs::path(line.directory), line.patterns), false};
    SourceScan& scan = sources.scan;
    // The archive being replaced is never packed into itself.
    std::error_code ec;
    std::erase_if(scan.files, [&](const SourceFile& file) {
        const bool self = fs::equivalent(file.path, fs::path(line.archive), ec);
        if (self) Say("'" + file.path.string() + "': the archive itself is not packed");
        return self;
    });
    for (const std::string& skipped : scan.skipped) Say(skipped);
    for (const std::string& refusal : scan.refusals) Say(refusal);
    sources.usable = scan.refusals.empty();
    return sources;
}

int Write(PackPlan& plan, const CommandLine& line, bool skipped) {
    if (std::string problem = SizeProblem(plan); !problem.empty()) return Refuse(problem, line);
    BatchMonitor monitor;
    PackOptions options;
    options.level = line.level;
    options.monitor = &monitor;
    PackReport report;
    ProgressLine progress(!line.quiet && ProgressLine::StderrIsTerminal());
    const int stopSignal =
        RunWatched([&] { report = WriteArchive(plan, options); }, monitor, progress);
    // A signal that came after the archive was complete stopped nothing.
    if (report.written && !report.error.empty()) {
        Say(report.error);
        return kExitFailures;
    }
    if (report.written) return skipped ? kExitFailures : kExitDone;
    if (report.targetExists) return Refuse(report.error, line);
    if (stopSignal != 0 || report.cancelled) {
        // A commit that failed for a reason of its own says it, even when a signal came too.
        if (!report.cancelled && !report.error.empty()) Say(report.error);
        Say("interrupted: " + QuoteArgument(line.archive) + " left as it was");
        return stopSignal != 0 ? StoppedStatus(stopSignal) : kExitInterrupted;
    }
    Say(report.error);
    Say(QuoteArgument(line.archive) + " left as it was");
    return kExitFailures;
}

// The old archive, open for copying its entries' stored bytes, and its permissions. It must be
// the file whose entry list was read, as it was then: another program that replaced or changed
// it meanwhile would have its bytes copied under the old list's offsets.
bool OpenForCopy(const CommandLine& line, const DatArchive& loaded, PackPlan& plan, UniqueFd& fd) {
    // A FIFO put under the name since the entry list was read is not waited on; it is not the
    // file that was read, and is refused below as changed.
    fd.reset(OpenWithoutWaiting(
        [&](int added) { return ::open(line.archive.c_str(), O_RDONLY | O_CLOEXEC | added); }));
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0) {
        Say(QuoteArgument(line.archive) + ": cannot be read");
        return false;
    }
    if (!loaded.isUnchangedFile(fd.get()) ||
        static_cast<std::uint64_t>(status.st_size) != loaded.dataSize()) {
        Say(QuoteArgument(line.archive) + ": changed while it was read; nothing written");
        return false;
    }
    plan.keptFrom = fd.get();
    plan.mode = status.st_mode & 07777;
    plan.replacing = {ReplaceRule::Kind::TheFileRead, FileIdentity::Of(status)};
    return true;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(fs::path(path), ec));
}

// The new archive is renamed over ARCHIVE's own name: a link there would be replaced by the
// new file while the archive it points to stayed as it was.
bool IsLink(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(fs::path(path), ec));
}

int RefuseLink(const CommandLine& line) {
    return Refuse(
        QuoteArgument(line.archive) + ": is a symbolic link; name the archive it points to", line);
}

}  // namespace

int RunCreate(const CommandLine& line) {
    if (IsLink(line.archive)) return RefuseLink(line);
    if (!line.force && Exists(line.archive)) {
        // add comes here for an archive that did not exist a moment ago; it has no --force.
        return Refuse(QuoteArgument(line.archive) + (line.command == Command::Create
                                                         ? ": exists (--force replaces it)"
                                                         : ": appeared meanwhile"),
                      line);
    }
    Sources sources = ScanAndReport(line);
    if (!sources.usable) return NothingWritten(line);
    PackPlan plan;
    plan.target = fs::path(line.archive);
    // An archive that appears after the check above is no more to be replaced than one that
    // was there before it.
    plan.replacing.kind = line.force ? ReplaceRule::Kind::Anything : ReplaceRule::Kind::Nothing;
    plan.added = std::move(sources.scan.files);
    return Write(plan, line, !sources.scan.skipped.empty());
}

int RunAdd(const CommandLine& line) {
    if (IsLink(line.archive)) return RefuseLink(line);
    if (!Exists(line.archive)) return RunCreate(line);
    const auto loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    if (!loaded) return kExitUsage;
    Sources sources = ScanAndReport(line);
    if (!sources.usable) return NothingWritten(line);

    PackPlan plan;
    plan.target = fs::path(line.archive);
    plan.added = std::move(sources.scan.files);
    // An added file replaces every entry the game would take for it.
    const auto replaced = [&](std::string_view name) {
        return std::binary_search(plan.added.begin(), plan.added.end(), name,
                                  [](const auto& a, const auto& b) {
                                      return CompareGamePaths(NameOf(a), NameOf(b)) < 0;
                                  });
    };
    KeptEntries kept =
        KeepEntries(loaded->archive, loaded->table,
                    [&](EntryIndex, std::string_view name) { return !replaced(name); });
    if (!kept.problem.empty()) return Refuse(kept.problem, line);
    plan.kept = std::move(kept.entries);
    UniqueFd old;
    if (!OpenForCopy(line, loaded->archive, plan, old)) return kExitUsage;
    return Write(plan, line, !sources.scan.skipped.empty());
}

int RunDelete(const CommandLine& line) {
    if (IsLink(line.archive)) return RefuseLink(line);
    const auto loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    if (!loaded) return kExitUsage;
    const Selection selection = SelectEntries(loaded->archive, loaded->table, line.patterns);
    if (ReportUnmatched(selection)) {
        Say(QuoteArgument(line.archive) + " left as it was");
        return kExitFailures;
    }
    std::vector<bool> deleted(loaded->archive.entryCount(), false);
    for (const EntryIndex index : selection.entries) deleted[index] = true;
    KeptEntries kept = KeepEntries(loaded->archive, loaded->table,
                                   [&](EntryIndex i, std::string_view) { return !deleted[i]; });
    if (!kept.problem.empty()) return Refuse(kept.problem, line);
    PackPlan plan;
    plan.target = fs::path(line.archive);
    plan.kept = std::move(kept.entries);
    UniqueFd old;
    if (!OpenForCopy(line, loaded->archive, plan, old)) return kExitUsage;
    return Write(plan, line, false);
}

}  // namespace tarvix::cli
