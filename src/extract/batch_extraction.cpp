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

// Chains, as a union-find over the batch's positions: merged chains keep their positions
// in the order given.
class ChainBuilder {
public:
    explicit ChainBuilder(std::size_t size) : parent_(size) {
        for (std::size_t i = 0; i < size; ++i) parent_[i] = i;
    }
    void join(std::size_t a, std::size_t b) { parent_[root(a)] = root(b); }
    std::vector<Chain> chains() {
        std::vector<Chain> chains;
        std::unordered_map<std::size_t, std::size_t> chainOf;
        for (std::size_t i = 0; i < parent_.size(); ++i) {
            const auto [it, added] = chainOf.try_emplace(root(i), chains.size());
            if (added) chains.emplace_back();
            chains[it->second].push_back(i);
        }
        return chains;
    }

private:
    std::size_t root(std::size_t i) {
        while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
        return i;
    }
    std::vector<std::size_t> parent_;
};

// Entries depend on each other when they would write the same file (the later one wins), or
// when one's file is a folder on another's way (whichever comes second fails). Both kinds are
// put in one chain, so that they meet in the order given, as they would one after the other.
// Keying by the output path before any ".gz" puts an entry and its wrapped twin in one chain
// too: too cautious at worst.
std::vector<Chain> ChainsOfDependentEntries(const EntryTable& table,
                                            std::span<const EntryIndex> entries,
                                            const ExtractTarget& target) {
    std::vector<std::string> outputs(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        outputs[i] = OutputPathOf(target, EntryName(table[entries[i]]));
    }
    ChainBuilder builder(entries.size());
    std::unordered_map<std::string_view, std::size_t> firstWriter;
    firstWriter.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto [it, added] = firstWriter.try_emplace(outputs[i], i);
        if (!added) builder.join(i, it->second);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view path = outputs[i];
        for (auto slash = path.find('\\'); slash != std::string_view::npos;
             slash = path.find('\\', slash + 1)) {
            const auto file = firstWriter.find(path.substr(0, slash));
            if (file != firstWriter.end()) builder.join(i, file->second);
        }
    }
    return builder.chains();
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

// How many chains in a row a worker takes. Neighbouring entries share a folder, and workers
// that create files in one folder at the same time wait for each other in the kernel; runs of
// up to 16 keep them mostly apart while every worker still gets work to the end.
std::size_t RunOfChains(std::size_t chains, unsigned workers) {
    return std::clamp<std::size_t>(chains / (std::size_t{workers} * 64), 1, 16);
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
          chains_(ChainsOfDependentEntries(table, entries, target)),
          outcomes_(entries.size()) {
        shared_.monitor = &monitor;
    }

    void run() {
        const unsigned workers = WorkerCount(options_, chains_.size());
        if (workers == 1) {
            work(0, 1);
            return;
        }
        const std::size_t run = RunOfChains(chains_.size(), workers);
        std::vector<std::thread> threads;
        threads.reserve(workers);
        for (unsigned i = 0; i < workers; ++i) {
            threads.emplace_back([this, i, run] { work(i, run); });
        }
        for (std::thread& thread : threads) thread.join();
        retryWriteFailures();
    }

    BatchReport report() const {
        BatchReport report;
        report.total = entries_.size();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const std::string& outcome = outcomes_[i];
            if (outcome == kOutcomeOk) {
                ++report.written;
                report.writtenPositions.push_back(i);
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
    // Takes runs of chains in order until none is left; each chain's entries in order.
    void work(unsigned worker, std::size_t run) {
        EntryExtractor extractor(archive_, table_, target_, &shared_, worker);
        for (std::size_t first = 0; (first = nextChain_.fetch_add(run)) < chains_.size();) {
            const std::size_t end = std::min(first + run, chains_.size());
            for (std::size_t c = first; c < end; ++c) {
                for (std::size_t position : chains_[c]) {
                    if (!mayStart()) return;
                    outcomes_[position] = extractor.extract(entries_[position]);
                    monitor_.fileDone();
                }
            }
        }
    }

    // A file that could not be written beside the others may be writable alone: on a nearly
    // full disk the other workers' files in progress take the room that a serial run would have
    // left it. A chain with such a failure is written once more, alone, from that entry on, so
    // that what lands and what is reported is what writing one after the other gives.
    void retryWriteFailures() {
        EntryExtractor extractor(archive_, table_, target_, &shared_);
        for (const Chain& chain : chains_) {
            const auto failed = std::find_if(chain.begin(), chain.end(), [this](std::size_t p) {
                return outcomes_[p].rfind("Cannot write ", 0) == 0;
            });
            for (auto it = failed; it != chain.end(); ++it) {
                if (monitor_.cancelRequested()) return;
                outcomes_[*it] = extractor.extract(entries_[*it]);
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
