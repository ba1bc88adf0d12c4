#include "extract/archive_check.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>
#include <utility>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/batch_extraction.h"
#include "extract/batch_figures.h"
#include "extract/entry_check.h"
#include "extract/entry_unpacker.h"

namespace tarvix {
namespace {

// Entries a worker takes at a time: few enough to share out a small archive, many enough
// that a million entries do not contend on one counter.
constexpr std::size_t kEntriesPerTake = 16;

struct FoundProblem {
    EntryIndex entry;
    std::string line;
};

struct WorkerResult {
    std::vector<FoundProblem> problems;
    std::vector<FoundProblem> notes;
    std::size_t checked = 0;
};

class CheckRun {
public:
    CheckRun(const DatArchive& archive, const EntryTable& table, BatchMonitor& monitor)
        : archive_(archive), table_(table), monitor_(monitor), total_(archive.entryCount()) {}

    void work(WorkerResult& result) {
        EntryUnpacker unpacker;
        for (std::size_t begin = 0; (begin = next_.fetch_add(kEntriesPerTake)) < total_;) {
            const std::size_t end = std::min(total_, begin + kEntriesPerTake);
            for (std::size_t i = begin; i < end; ++i) {
                if (monitor_.cancelRequested()) return;
                checkOne(static_cast<EntryIndex>(i), result, unpacker);
            }
        }
    }

private:
    void checkOne(EntryIndex index, WorkerResult& result, EntryUnpacker& unpacker) {
        const EntryCheck check = CheckEntry(archive_, table_, index, &monitor_, &unpacker);
        if (check.cancelled) return;
        ++result.checked;
        monitor_.fileDone();
        if (check.problems.empty() && check.notes.empty()) return;
        const std::string path = Cp1252ToUtf8(EntryName(table_[index]));
        for (const std::string& problem : check.problems) {
            result.problems.push_back({index, FailureLine(path, problem)});
        }
        for (const std::string& note : check.notes) {
            result.notes.push_back({index, FailureLine(path, note)});
        }
    }

    const DatArchive& archive_;
    const EntryTable& table_;
    BatchMonitor& monitor_;
    std::size_t total_;
    std::atomic<std::size_t> next_{0};
};

// Entries whose stored bytes overlap an earlier entry's (by offset, then directory order),
// each with a note naming that entry: a few such entries can claim far more than the file
// holds. Entries with no bytes, or bytes past the file's end, overlap nothing.
std::vector<FoundProblem> OverlapNotes(const DatArchive& archive, const EntryTable& table) {
    struct Span {
        std::uint64_t begin;
        std::uint64_t end;
        EntryIndex entry;
    };
    std::vector<Span> spans;
    for (EntryIndex i = 0; i < archive.entryCount(); ++i) {
        const EntryInfo info = GetEntryInfo(table, i);
        const std::uint64_t end = std::uint64_t{info.offset} + info.storedSize;
        if (info.storedSize > 0 && end <= archive.dataSize())
            spans.push_back({info.offset, end, i});
    }
    std::ranges::sort(spans, [](const Span& a, const Span& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.entry < b.entry;
    });
    std::vector<FoundProblem> notes;
    const Span* reaching = nullptr;  // the span seen so far that reaches furthest
    for (const Span& span : spans) {
        if (reaching && span.begin < reaching->end) {
            notes.push_back(
                {span.entry,
                 FailureLine(Cp1252ToUtf8(EntryName(table[span.entry])),
                             OverlapNote(Cp1252ToUtf8(EntryName(table[reaching->entry]))))});
        }
        if (!reaching || span.end > reaching->end) reaching = &span;
    }
    return notes;
}

// Lines in directory order; one entry's lines keep the order they were found in.
std::vector<std::string> InDirectoryOrder(std::vector<FoundProblem> all) {
    std::stable_sort(all.begin(), all.end(), [](const FoundProblem& a, const FoundProblem& b) {
        return a.entry < b.entry;
    });
    std::vector<std::string> lines;
    lines.reserve(all.size());
    for (FoundProblem& found : all) lines.push_back(std::move(found.line));
    return lines;
}

// Every worker's problems and notes in directory order: each worker found its own in order,
// and one entry's all come from one worker.
ArchiveCheckReport Merge(std::vector<WorkerResult>& results, std::size_t total,
                         std::vector<FoundProblem> notes) {
    std::vector<FoundProblem> problems;
    ArchiveCheckReport report;
    report.total = total;
    for (WorkerResult& result : results) {
        report.checked += result.checked;
        std::ranges::move(result.problems, std::back_inserter(problems));
        std::ranges::move(result.notes, std::back_inserter(notes));
    }
    report.problems = InDirectoryOrder(std::move(problems));
    report.notes = InDirectoryOrder(std::move(notes));
    return report;
}

}  // namespace

ArchiveCheckReport CheckArchive(const DatArchive& archive, const EntryTable& table,
                                const CheckOptions& options) {
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    const std::size_t total = archive.entryCount();
    std::vector<EntryIndex> everyEntry(total);
    std::iota(everyEntry.begin(), everyEntry.end(), EntryIndex{0});
    monitor.start(total, StoredBytesOf(table, everyEntry));
    CheckRun run(archive, table, monitor);
    std::vector<WorkerResult> results(WorkerCount(options.threads, total));
    if (results.size() == 1) {
        run.work(results[0]);
    } else {
        std::vector<std::thread> threads;
        threads.reserve(results.size());
        for (WorkerResult& result : results) {
            threads.emplace_back([&run, &result] { run.work(result); });
        }
        for (std::thread& thread : threads) thread.join();
    }
    ArchiveCheckReport report = Merge(results, total, OverlapNotes(archive, table));
    report.cancelled = report.checked < total;
    monitor.finish();
    return report;
}

}  // namespace tarvix
