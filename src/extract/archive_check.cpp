#include "extract/archive_check.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "extract/batch_extraction.h"
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
        if (check.problems.empty()) return;
        const std::string path = Cp1252ToUtf8(EntryName(table_[index]));
        for (const std::string& problem : check.problems) {
            result.problems.push_back({index, FailureLine(path, problem)});
        }
    }

    const DatArchive& archive_;
    const EntryTable& table_;
    BatchMonitor& monitor_;
    std::size_t total_;
    std::atomic<std::size_t> next_{0};
};

unsigned WorkerCount(unsigned asked, std::size_t entries) {
    const unsigned threads = asked != 0 ? asked : std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(entries, 1, threads));
}

std::uint64_t StoredBytesOf(const EntryTable& table, std::size_t entries) {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < entries; ++i) {
        bytes += GetEntrySizes(table, static_cast<EntryIndex>(i)).packedSize;
    }
    return bytes;
}

// Every worker's problems in directory order: each worker found its own in order, and one
// entry's problems all come from one worker.
ArchiveCheckReport Merge(std::vector<WorkerResult>& results, std::size_t total) {
    std::vector<FoundProblem> all;
    ArchiveCheckReport report;
    report.total = total;
    for (WorkerResult& result : results) {
        report.checked += result.checked;
        std::move(result.problems.begin(), result.problems.end(), std::back_inserter(all));
    }
    std::stable_sort(all.begin(), all.end(), [](const FoundProblem& a, const FoundProblem& b) {
        return a.entry < b.entry;
    });
    report.problems.reserve(all.size());
    for (FoundProblem& found : all) report.problems.push_back(std::move(found.line));
    return report;
}

}  // namespace

ArchiveCheckReport CheckArchive(const DatArchive& archive, const EntryTable& table,
                                const CheckOptions& options) {
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    const std::size_t total = archive.entryCount();
    monitor.start(total, StoredBytesOf(table, total));
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
    ArchiveCheckReport report = Merge(results, total);
    report.cancelled = report.checked < total;
    monitor.finish();
    return report;
}

}  // namespace tarvix
