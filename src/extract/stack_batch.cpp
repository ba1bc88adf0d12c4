#include "extract/stack_batch.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/cp1252.h"
#include "archive/game_path.h"
#include "extract/entry_check.h"
#include "extract/loose_entry.h"
#include "extract/stored_stream.h"

namespace tarvix {
namespace {

std::vector<std::string> CheckCopy(const SourceStack& stack, const StackEntry& entry,
                                   BatchMonitor* monitor) {
    const StackSource& source = stack.source(entry.source);
    if (source.kind() == StackSource::Kind::Archive) {
        return CheckEntry(source.archive(), source.table(), entry.index, monitor).problems;
    }
    LooseEntry loose;
    if (!loose.open(source, entry.index)) return {kOutcomeCannotRead};
    return CheckEntry(loose.archive, loose.table, 0, monitor).problems;
}

// The target of the entries of one folder of the union: with their own folders, the
// folder's path as the union spells it (less the dropped prefix, matched ignoring case), so
// that the spellings of a folder in several sources make one folder on a file system that
// tells case apart.
ExtractTarget TargetForFolder(const SourceStack& stack, std::uint32_t folder,
                              const ExtractTarget& target) {
    if (!target.ownFolders) return target;
    ExtractTarget inFolder = target;
    inFolder.ownFolders = false;
    inFolder.droppedPrefix.clear();
    if (folder == SourceStack::kRootFolder) return inFolder;
    std::string path = stack.folderPath(folder);
    const std::string& dropped = target.droppedPrefix;
    if (path.size() >= dropped.size() &&
        SameGamePath(std::string_view(path).substr(0, dropped.size()), dropped)) {
        path.erase(0, dropped.size());
    }
    inFolder.preservedFolder = std::move(path);
    return inFolder;
}

void AppendReport(BatchReport& into, BatchReport&& part) {
    into.written += part.written;
    into.cancelled = into.cancelled || part.cancelled;
    if (part.noRoom && !into.noRoom) into.noRoom = part.noRoom;
    for (std::string& failure : part.failures) into.failures.push_back(std::move(failure));
}

BatchReport ExtractFolderFiles(const StackSource& source, const std::vector<EntryIndex>& files,
                               const ExtractTarget& target, BatchMonitor* monitor) {
    BatchReport report;
    ExtractShared shared{monitor};
    for (EntryIndex index : files) {
        if (CancelRequested(monitor)) {
            report.cancelled = true;
            break;
        }
        LooseEntry loose;
        const EntryOutcome outcome =
            loose.open(source, index)
                ? ExtractEntry(loose.archive, loose.table, 0, target, monitor ? &shared : nullptr)
                : EntryOutcome{OutcomeKind::CannotRead};
        if (monitor) monitor->fileDone();
        if (outcome.ok()) {
            ++report.written;
        } else {
            report.cancelled = report.cancelled || outcome.kind == OutcomeKind::Cancelled;
            report.failures.push_back(FailureLine(Cp1252ToUtf8(source.entryName(index)), outcome));
        }
    }
    return report;
}

}  // namespace

ArchiveCheckReport CheckStack(const SourceStack& stack, const CheckOptions& options) {
    BatchMonitor own;
    BatchMonitor* monitor = options.monitor ? options.monitor : &own;
    ArchiveCheckReport report;
    report.total = stack.entries().size();
    monitor->start(report.total, 0);
    for (const StackEntry& entry : stack.entries()) {
        if (monitor->cancelRequested()) {
            report.cancelled = true;
            break;
        }
        const std::string prefix = stack.source(entry.source).label() + ": ";
        for (const std::string& problem : CheckCopy(stack, entry, monitor)) {
            report.problems.push_back(prefix + FailureLine(Cp1252ToUtf8(entry.name), problem));
        }
        ++report.checked;
        monitor->fileDone();
    }
    monitor->finish();
    return report;
}

BatchReport ExtractStack(const SourceStack& stack, std::span<const std::uint32_t> places,
                         const ExtractTarget& target, const BatchOptions& options) {
    // By winning source, then by folder of the union.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<EntryIndex>> groups;
    for (std::uint32_t place : places) {
        const StackEntry& entry = stack.entries()[place];
        groups[{entry.source, entry.folder}].push_back(entry.index);
    }
    BatchReport report;
    report.total = places.size();
    BatchOptions batch = options;
    batch.beforeEntry = nullptr;
    for (const auto& [key, indices] : groups) {
        if (report.cancelled) break;
        const StackSource& source = stack.source(key.first);
        const ExtractTarget inFolder = TargetForFolder(stack, key.second, target);
        if (source.kind() == StackSource::Kind::Archive) {
            AppendReport(report,
                         ExtractBatch(source.archive(), source.table(), indices, inFolder, batch));
        } else {
            AppendReport(report, ExtractFolderFiles(source, indices, inFolder, options.monitor));
        }
    }
    if (options.monitor) options.monitor->finish();
    return report;
}

}  // namespace tarvix
