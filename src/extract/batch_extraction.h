#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/batch_monitor.h"
#include "extract/entry_extractor.h"

namespace tarvix {

// A batch refused before anything was written: what it would write against what the
// destination's file system has free.
struct NoRoom {
    std::uint64_t needed = 0;
    std::uint64_t available = 0;
};

struct BatchReport {
    std::size_t total = 0;              // entries asked for
    std::size_t written = 0;            // entries that came out "ok"
    std::vector<std::string> failures;  // one line per failed entry, in the order asked for
    bool cancelled = false;
    // The positions in the batch of the entries that came out "ok", in the order asked for.
    std::vector<std::size_t> writtenPositions;
    std::optional<NoRoom> noRoom;  // set when the batch was refused for lack of room
};

struct BatchOptions {
    // Worker threads; 0 for one per core. With one, the entries are written in order on the
    // calling thread.
    unsigned threads = 0;
    // Progress and cancel, for whoever watches the batch from another thread.
    BatchMonitor* monitor = nullptr;
    // Called before each entry, one call at a time, with the number of entries finished so
    // far; returning false cancels the batch. With one thread, the calls come strictly
    // between entries.
    std::function<bool(std::size_t done, std::size_t total)> beforeEntry;
    // False when the call writes one part of a larger batch (a stack's, source by source):
    // the caller then checks the room for the whole and starts and finishes the monitor, so
    // that progress runs once over everything and a refusal for lack of room comes before
    // anything is written.
    bool wholeBatch = true;
};

// Extracts `entries`, in parallel on all cores unless told otherwise. One entry's failure
// never stops the others. The result is the same as writing them one after the other in the
// order given: entries that would write the same file are written by one worker, in that
// order, so the later one wins, as it would alone. A cancel stops every worker within one
// chunk and removes the partial file; the monitor, if any, is marked finished at the end.
//
// Before anything is written, what the batch will write (each entry that can be written, by
// its stored size, or its RealSize when unpacking) is compared with the destination's free
// space; when it cannot fit, nothing is written and the report says so (noRoom).
BatchReport ExtractBatch(const DatArchive& archive, const EntryTable& table,
                         std::span<const EntryIndex> entries, const ExtractTarget& target,
                         const BatchOptions& options = {});

// The room that writing `plans` needs against what `destination`'s file system has free, when
// it does not fit (the check ExtractBatch makes before writing).
std::optional<NoRoom> LackOfRoom(std::span<const PlannedOutput> plans,
                                 const std::filesystem::path& destination);

// The report line of a failed entry: the outcome, preceded by the entry's internal path
// (UTF-8) unless the outcome already names it ("Cannot write <name>", with the system's
// reason after it where there is one).
std::string FailureLine(const std::string& name, const EntryOutcome& outcome);
// The same for a problem given as text.
std::string FailureLine(const std::string& name, const std::string& outcome);

// "Not enough free space: the files need <n>, the destination has <m>. Nothing was written."
std::string NoRoomText(const NoRoom& noRoom);

// What the user is told after a batch: the refusal for lack of room alone, or the failures, at most
// kReportedFailures of them and then how many more, and, after a cancel, how many files were
// written. Empty when all succeeded.
inline constexpr std::size_t kReportedFailures = 20;
std::string FormatBatchReport(const BatchReport& report);

}  // namespace tarvix
