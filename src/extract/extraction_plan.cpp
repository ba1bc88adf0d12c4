#include "extract/extraction_plan.h"

#include <numeric>
#include <utility>

namespace tarvix {
namespace {

std::vector<EntryIndex> EveryEntry(std::size_t count) {
    std::vector<EntryIndex> entries(count);
    std::iota(entries.begin(), entries.end(), EntryIndex{0});
    return entries;
}

}  // namespace

ExtractTarget TargetForEntries(const ExtractionOptions& options,
                               const std::filesystem::path& destination) {
    ExtractTarget target;
    target.destination = destination;
    target.unpack = options.unpack;
    target.ownFolders = options.preservePaths;
    return target;
}

ExtractionPlan PlanExtraction(const DatArchive& archive, const FolderIndex* folders,
                              ExtractionSubject subject, const ExtractionOptions& options,
                              const std::filesystem::path& destination) {
    ExtractionPlan plan;
    plan.target.destination = destination;
    plan.target.unpack = options.unpack;
    const bool named =
        folders && subject.folder != FolderIndex::kRoot && subject.folder < folders->nodeCount();
    switch (subject.kind) {
        case ExtractionSubject::Kind::FilesOfFolder:
            plan.entries = std::move(subject.entries);
            if (options.preservePaths && named) {
                plan.target.preservedFolder = folders->pathOf(subject.folder);
            }
            break;
        case ExtractionSubject::Kind::Entries:
            plan.entries = std::move(subject.entries);
            plan.target = TargetForEntries(options, destination);
            break;
        case ExtractionSubject::Kind::Folder: {
            if (!named) break;
            plan.entries = folders->entriesBelow(subject.folder);
            plan.target.ownFolders = true;
            const NodeId parent = folders->node(subject.folder).parent;
            if (!options.preservePaths && parent != FolderIndex::kRoot) {
                plan.target.droppedPrefix = folders->pathOf(parent) + "\\";
            }
            break;
        }
        case ExtractionSubject::Kind::Archive:
            plan.entries = EveryEntry(archive.entryCount());
            plan.target.ownFolders = true;
            break;
    }
    return plan;
}

}  // namespace tarvix
