#pragma once

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "archive/archive_session.h"
#include "archive/dat_entry.h"
#include "archive/folder_index.h"
#include "extract/entry_extractor.h"

namespace tarvix {

// What the user asks to extract, as every front-end words it.
struct ExtractionSubject {
    enum class Kind {
        FilesOfFolder,  // some files listed in one folder (the window's list)
        Entries,        // entries from anywhere (found by name, or selected by pattern)
        Folder,         // a folder with everything below it
        Archive,        // every entry
    };
    Kind kind = Kind::Entries;
    std::vector<EntryIndex> entries;     // FilesOfFolder and Entries, in the order to write them
    NodeId folder = FolderIndex::kRoot;  // Folder; for FilesOfFolder, the folder listed
};

struct ExtractionOptions {
    bool preservePaths = false;  // each file below its internal folder path
    bool unpack = false;         // packed files' real content instead of their stored bytes
};

struct ExtractionPlan {
    std::vector<EntryIndex> entries;
    ExtractTarget target;
};

// Where each entry of `subject` goes below `destination`:
// - files of a folder go straight into it, or below the folder's path with preserved paths;
// - entries from anywhere go straight into it, or each below its own folder path;
// - a folder keeps its own name and what is below it (ART\CRITTERS\X.FRM lands at
//   CRITTERS/X.FRM), or every entry keeps its full path with preserved paths;
// - the whole archive always keeps every entry's full path.
// `folders` may be null where a front-end builds no tree (the command line selects entries by
// pattern); a folder cannot be named there.
ExtractionPlan PlanExtraction(const DatArchive& archive, const FolderIndex* folders,
                              ExtractionSubject subject, const ExtractionOptions& options,
                              const std::filesystem::path& destination);

// The target of entries from anywhere (ExtractionSubject::Kind::Entries), where no archive is
// needed to say it: what a stack of sources extracts by.
ExtractTarget TargetForEntries(const ExtractionOptions& options,
                               const std::filesystem::path& destination);

inline ExtractionPlan PlanExtraction(const ArchiveSession& session, ExtractionSubject subject,
                                     const ExtractionOptions& options,
                                     const std::filesystem::path& destination) {
    return PlanExtraction(session.archive(), &session.folders(), std::move(subject), options,
                          destination);
}

}  // namespace tarvix
