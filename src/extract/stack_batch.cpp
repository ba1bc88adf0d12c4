#include "extract/stack_batch.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/cp1252.h"
#include "archive/game_path.h"
#include "extract/batch_figures.h"
#include "extract/entry_check.h"
#include "extract/loose_entry.h"
#include "extract/stored_stream.h"
#include "extract/written_path.h"

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

// The entries of one (winning source, folder of the union) pair, and their positions in the
// batch as asked for.
struct StackGroup {
    std::uint32_t source = 0;
    std::uint32_t folder = 0;
    std::vector<EntryIndex> indices;
    std::vector<std::size_t> positions;
};

// By winning source, then by folder of the union in the order asked for: the order the groups
// are written in. Without folders of their own every entry of a source goes into one group,
// so that of two entries that write the same file the later one asked for stays, as in one
// archive, whatever folders they came from.
std::vector<StackGroup> GroupPlaces(const SourceStack& stack, std::span<const std::uint32_t> places,
                                    const ExtractTarget& target) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> groupOf;
    std::vector<StackGroup> groups;
    for (std::size_t position = 0; position < places.size(); ++position) {
        const StackEntry& entry = stack.entries()[places[position]];
        const std::uint32_t folder = target.ownFolders ? entry.folder : SourceStack::kRootFolder;
        const auto [at, added] = groupOf.try_emplace({entry.source, folder}, groups.size());
        if (added) groups.push_back({entry.source, folder, {}, {}});
        StackGroup& group = groups[at->second];
        group.indices.push_back(entry.index);
        group.positions.push_back(position);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const StackGroup& a, const StackGroup& b) { return a.source < b.source; });
    return groups;
}

// What every group will write, and the stored bytes the monitor counts: planned as a whole,
// so that the room is checked once, before the first file.
struct StackFigures {
    std::vector<PlannedOutput> plans;
    std::uint64_t storedBytes = 0;
};

StackFigures FiguresOf(const SourceStack& stack, const std::vector<StackGroup>& groups,
                       const ExtractTarget& target) {
    StackFigures figures;
    for (const StackGroup& group : groups) {
        const StackSource& source = stack.source(group.source);
        const ExtractTarget inFolder = TargetForFolder(stack, group.folder, target);
        if (source.kind() == StackSource::Kind::Archive) {
            figures.storedBytes += StoredBytesOf(source.table(), group.indices);
            for (EntryIndex index : group.indices) {
                figures.plans.push_back(
                    PlanOutput(source.archive(), source.table(), index, inFolder));
            }
            continue;
        }
        for (EntryIndex index : group.indices) {
            figures.storedBytes += source.files()[index].size;
            LooseEntry loose;
            figures.plans.push_back(loose.open(source, index)
                                        ? PlanOutput(loose.archive, loose.table, 0, inFolder)
                                        : PlannedOutput{{}, 0, true});
        }
    }
    return figures;
}

// A group's report into the whole batch's, its positions turned into the batch's.
void AppendReport(BatchReport& into, BatchReport&& part, const StackGroup& group) {
    into.written += part.written;
    into.cancelled = into.cancelled || part.cancelled;
    for (std::string& failure : part.failures) into.failures.push_back(std::move(failure));
    for (std::size_t position : part.writtenPositions) {
        into.writtenPositions.push_back(group.positions[position]);
    }
}

BatchReport ExtractFolderFiles(const StackSource& source, const std::vector<EntryIndex>& files,
                               const ExtractTarget& target, BatchMonitor* monitor) {
    BatchReport report;
    ExtractShared shared{monitor};
    for (std::size_t position = 0; position < files.size(); ++position) {
        if (CancelRequested(monitor)) {
            report.cancelled = true;
            break;
        }
        const EntryIndex index = files[position];
        LooseEntry loose;
        const EntryOutcome outcome =
            loose.open(source, index)
                ? ExtractEntry(loose.archive, loose.table, 0, target, monitor ? &shared : nullptr)
                : EntryOutcome{OutcomeKind::CannotRead};
        if (monitor) monitor->fileDone();
        if (outcome.ok()) {
            ++report.written;
            report.writtenPositions.push_back(position);
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
    const std::vector<StackGroup> groups = GroupPlaces(stack, places, target);
    const StackFigures figures = FiguresOf(stack, groups, target);
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    monitor.start(places.size(), figures.storedBytes);
    BatchReport report;
    report.total = places.size();
    report.noRoom = LackOfRoom(figures.plans, target.destination);
    if (report.noRoom) {
        monitor.finish();
        return report;
    }
    BatchOptions part = options;
    part.monitor = &monitor;
    part.beforeEntry = nullptr;
    part.wholeBatch = false;
    for (const StackGroup& group : groups) {
        if (report.cancelled || monitor.cancelRequested()) {
            report.cancelled = true;
            break;
        }
        const StackSource& source = stack.source(group.source);
        const ExtractTarget inFolder = TargetForFolder(stack, group.folder, target);
        BatchReport written =
            source.kind() == StackSource::Kind::Archive
                ? ExtractBatch(source.archive(), source.table(), group.indices, inFolder, part)
                : ExtractFolderFiles(source, group.indices, inFolder, &monitor);
        AppendReport(report, std::move(written), group);
    }
    monitor.finish();
    return report;
}

std::string StackWrittenPath(const SourceStack& stack, std::uint32_t place,
                             const ExtractTarget& target) {
    const StackEntry& entry = stack.entries()[place];
    const StackSource& source = stack.source(entry.source);
    const ExtractTarget inFolder = TargetForFolder(stack, entry.folder, target);
    if (source.kind() == StackSource::Kind::Archive) {
        return WrittenPathOf(source.archive(), source.table(), entry.index, inFolder);
    }
    // A folder's file is written as stored, so its name alone gives the path, even when the
    // file has gone since the batch read it.
    std::string path = Cp1252ToUtf8(StoredOutputPath(source.entryName(entry.index), inFolder));
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace tarvix
