#include "extract/batch_extraction.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"

namespace tarvix {
namespace {

// The entries that would write one output file, as positions in the batch, in order. A chain
// is never split between workers.
using Chain = std::vector<std::size_t>;

// Two entries can only write the same file when their names' file parts are equal (the
// folder, if re-created, is the same for the whole batch). Keying by the file part ignores the
// ".gz" suffix, so an entry and its wrapped twin share a chain too: too cautious at worst.
std::vector<Chain> ChainsBySameOutput(const EntryTable& table,
                                      std::span<const EntryIndex> entries) {
    std::vector<Chain> chains;
    std::unordered_map<std::string_view, std::size_t> chainOf;
    chainOf.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view file = SplitFolderAndFile(EntryName(table[entries[i]])).file;
        const auto [it, added] = chainOf.try_emplace(file, chains.size());
        if (added) chains.emplace_back();
        chains[it->second].push_back(i);
    }
    return chains;
}

std::uint64_t StoredBytesOf(const EntryTable& table, std::span<const EntryIndex> entries) {
    std::uint64_t bytes = 0;
    for (EntryIndex entry : entries) bytes += GetEntrySizes(table, entry).packedSize;
    return bytes;
}

unsigned WorkerCount(const BatchOptions& options, std::size_t chains) {
    unsigned threads = options.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(chains, 1)));
}

class BatchRun {
public:
    BatchRun(const DatArchive& archive, const EntryTable& table,
             std::span<const EntryIndex> entries, const ExtractTarget& target,
             const BatchOptions& options, BatchMonitor& monitor)
        : archive_(archive),
          table_(table),
          entries_(entries),
          target_(target),
          options_(options),
          monitor_(monitor),
          chains_(ChainsBySameOutput(table, entries)),
          outcomes_(entries.size()) {
        shared_.monitor = &monitor;
    }

    void run() {
        const unsigned workers = WorkerCount(options_, chains_.size());
        if (workers == 1) {
            work();
            return;
        }
        std::vector<std::thread> threads;
        threads.reserve(workers);
        for (unsigned i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
        for (std::thread& thread : threads) thread.join();
    }

    BatchReport report() const {
        BatchReport report;
        report.total = entries_.size();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const std::string& outcome = outcomes_[i];
            if (outcome == kOutcomeOk) {
                ++report.written;
            } else if (outcome == kOutcomeCancelled || outcome.empty()) {
                report.cancelled = true;  // stopped before or while writing this entry
            } else {
                report.failures.push_back(
                    FailureLine(Cp1252ToUtf8(EntryName(table_[entries_[i]])), outcome));
            }
        }
        return report;
    }

private:
    // Takes chains in order until none is left; each chain's entries in order.
    void work() {
        for (std::size_t c; (c = nextChain_.fetch_add(1)) < chains_.size();) {
            for (std::size_t position : chains_[c]) {
                if (!mayStart()) return;
                outcomes_[position] =
                    ExtractEntry(archive_, table_, entries_[position], target_, &shared_);
                monitor_.fileDone();
            }
        }
    }

    bool mayStart() {
        if (options_.beforeEntry) {
            const std::lock_guard lock(hookLock_);
            if (!monitor_.cancelRequested() &&
                !options_.beforeEntry(monitor_.progress().filesDone, entries_.size())) {
                monitor_.requestCancel();
            }
        }
        return !monitor_.cancelRequested();
    }

    const DatArchive& archive_;
    const EntryTable& table_;
    std::span<const EntryIndex> entries_;
    const ExtractTarget& target_;
    const BatchOptions& options_;
    BatchMonitor& monitor_;
    ExtractShared shared_;
    std::vector<Chain> chains_;
    std::atomic<std::size_t> nextChain_{0};
    std::mutex hookLock_;
    std::vector<std::string> outcomes_;  // by position; empty for an entry never started
};

}  // namespace

BatchReport ExtractBatch(const DatArchive& archive, const EntryTable& table,
                         std::span<const EntryIndex> entries, const ExtractTarget& target,
                         const BatchOptions& options) {
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    monitor.start(entries.size(), StoredBytesOf(table, entries));
    BatchRun run(archive, table, entries, target, options, monitor);
    run.run();
    if (options.beforeEntry && !monitor.cancelRequested()) {
        options.beforeEntry(entries.size(), entries.size());
    }
    BatchReport report = run.report();
    monitor.finish();
    return report;
}

std::string FailureLine(const std::string& name, const std::string& outcome) {
    if (outcome == "Cannot write " + name) return outcome;
    return name + ": " + outcome;
}

std::string FormatBatchReport(const BatchReport& report) {
    std::string text;
    if (report.cancelled) {
        text = "Extraction cancelled: " + std::to_string(report.written) + " of " +
               std::to_string(report.total) + " file(s) written.";
    }
    if (!report.failures.empty()) {
        if (!text.empty()) text += "\n\n";
        text += std::to_string(report.failures.size()) + " of " + std::to_string(report.total) +
                " file(s) could not be extracted:";
        const std::size_t shown = std::min(report.failures.size(), kReportedFailures);
        for (std::size_t i = 0; i < shown; ++i) text += "\n" + report.failures[i];
        if (report.failures.size() > shown) {
            text += "\n... and " + std::to_string(report.failures.size() - shown) + " more";
        }
    }
    return text;
}

}  // namespace tarvix
