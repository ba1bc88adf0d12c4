#include "extract/batch_extraction.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "archive/cp1252.h"
#include "archive/dat_entry.h"
#include "archive/name_pattern.h"
#include "extract/batch_figures.h"

namespace tarvix {
namespace {

// "512 bytes", "3.2 MB", "4.3 TB": decimal units, as the progress line counts.
std::string ReadableBytes(std::uint64_t bytes) {
    if (bytes < 1000000) return std::to_string(bytes) + " bytes";
    static constexpr const char* kUnits[] = {"MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1e6;
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

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
// They are keyed by the path each writes after every renaming (an entry wrapped as "F.gz"
// meets an entry named "F.gz"), in one case: too cautious at worst.
std::vector<Chain> ChainsOfDependentEntries(std::span<const PlannedOutput> plans) {
    std::vector<std::string> outputs(plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        outputs[i] = plans[i].path;
        // Names that a case-insensitive file system (a USB stick's) takes for one meet too.
        std::ranges::transform(outputs[i], outputs[i].begin(), [](char c) {
            return static_cast<char>(FoldCp1252(static_cast<std::uint8_t>(c)));
        });
    }
    ChainBuilder builder(plans.size());
    std::unordered_map<std::string_view, std::size_t> firstWriter;
    firstWriter.reserve(plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const auto [it, added] = firstWriter.try_emplace(outputs[i], i);
        if (!added) builder.join(i, it->second);
    }
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const std::string_view path = outputs[i];
        for (auto slash = path.find('\\'); slash != std::string_view::npos;
             slash = path.find('\\', slash + 1)) {
            const auto file = firstWriter.find(path.substr(0, slash));
            if (file != firstWriter.end()) builder.join(i, file->second);
        }
    }
    return builder.chains();
}

std::vector<PlannedOutput> PlanBatch(const DatArchive& archive, const EntryTable& table,
                                     std::span<const EntryIndex> entries,
                                     const ExtractTarget& target) {
    std::vector<PlannedOutput> plans;
    plans.reserve(entries.size());
    for (EntryIndex entry : entries) plans.push_back(PlanOutput(archive, table, entry, target));
    return plans;
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
             const BatchOptions& options, BatchMonitor& monitor,
             std::span<const PlannedOutput> plans)
        : archive_(archive),
          table_(table),
          entries_(entries),
          target_(target),
          options_(options),
          monitor_(monitor),
          chains_(ChainsOfDependentEntries(plans)),
          outcomes_(entries.size()) {
        shared_.monitor = &monitor;
    }

    void run() {
        const unsigned workers = WorkerCount(options_.threads, chains_.size());
        if (workers == 1) {
            work(1);
            return;
        }
        const std::size_t run = RunOfChains(chains_.size(), workers);
        std::vector<std::thread> threads;
        threads.reserve(workers);
        try {
            for (unsigned i = 0; i < workers; ++i) {
                threads.emplace_back([this, run] { workOrStop(run); });
            }
        } catch (...) {  // no thread to be had: the ones started stop, then the caller hears
            monitor_.requestCancel();
            for (std::thread& thread : threads) thread.join();
            throw;
        }
        for (std::thread& thread : threads) thread.join();
        // A worker's exception (no memory, say) ends the batch as it would have on one thread:
        // thrown to the caller, which says so, instead of ending the program.
        if (failure_) std::rethrow_exception(failure_);
        retryLackOfRoom();
    }

    BatchReport report() const {
        BatchReport report;
        report.total = entries_.size();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const std::optional<EntryOutcome>& outcome = outcomes_[i];
            if (outcome && outcome->ok()) {
                ++report.written;
                report.writtenPositions.push_back(i);
            } else if (!outcome || outcome->kind == OutcomeKind::Cancelled) {
                report.cancelled = true;  // stopped before or while writing this entry
            } else {
                report.failures.push_back(
                    FailureLine(Cp1252ToUtf8(EntryName(table_[entries_[i]])), *outcome));
            }
        }
        return report;
    }

private:
    // Takes runs of chains in order until none is left; each chain's entries in order.
    void workOrStop(std::size_t run) {
        try {
            work(run);
        } catch (...) {
            const std::lock_guard lock(hookLock_);
            if (!failure_) failure_ = std::current_exception();
            monitor_.requestCancel();
        }
    }

    void work(std::size_t run) {
        EntryExtractor extractor(archive_, table_, target_, &shared_);
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

    // A file that could not be written beside the others for lack of room may be writable
    // alone: on a nearly full disk the other workers' files in progress take the room that a
    // serial run would have left it. A chain with such a failure is written once more, alone,
    // from that entry on, so that what lands and what is reported is what writing one after
    // the other gives. Any other failure would only recur.
    void retryLackOfRoom() {
        EntryExtractor extractor(archive_, table_, target_, &shared_);
        for (const Chain& chain : chains_) {
            const auto failed = std::find_if(chain.begin(), chain.end(), [this](std::size_t p) {
                return outcomes_[p] && IsLackOfRoom(*outcomes_[p]);
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
    std::exception_ptr failure_;  // the first exception of a worker, under hookLock_
    std::vector<std::optional<EntryOutcome>> outcomes_;  // by position; none if never started
};

}  // namespace

// The room the batch needs against what the destination has, when it does not fit. An entry
// written twice counts twice, and files the batch replaces are not subtracted: each new file
// takes its room before the older one goes, and finding the older ones would cost a lookup
// per entry. Cautious, then, for a batch written again over itself on a nearly full disk.
std::optional<NoRoom> LackOfRoom(std::span<const PlannedOutput> plans,
                                 const std::filesystem::path& destination) {
    std::uint64_t needed = 0;
    for (const PlannedOutput& plan : plans) {
        if (!plan.refused) needed += plan.bytes;
    }
    struct statvfs space {};
    if (needed == 0 || ::statvfs(destination.c_str(), &space) != 0) return std::nullopt;
    const std::uint64_t available = std::uint64_t{space.f_bavail} * space.f_frsize;
    if (needed <= available) return std::nullopt;
    return NoRoom{needed, available};
}

BatchReport ExtractBatch(const DatArchive& archive, const EntryTable& table,
                         std::span<const EntryIndex> entries, const ExtractTarget& target,
                         const BatchOptions& options) {
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    if (options.wholeBatch) monitor.start(entries.size(), StoredBytesOf(table, entries));
    const std::vector<PlannedOutput> plans = PlanBatch(archive, table, entries, target);
    if (const auto lack =
            options.wholeBatch ? LackOfRoom(plans, target.destination) : std::nullopt) {
        BatchReport report;
        report.total = entries.size();
        report.noRoom = lack;
        monitor.finish();
        return report;
    }
    BatchRun run(archive, table, entries, target, options, monitor, plans);
    run.run();
    if (options.beforeEntry && !monitor.cancelRequested()) {
        options.beforeEntry(entries.size(), entries.size());
    }
    BatchReport report = run.report();
    if (options.wholeBatch) monitor.finish();
    return report;
}

std::string FailureLine(const std::string& name, const std::string& outcome) {
    if (outcome == "Cannot write " + name) return outcome;
    return name + ": " + outcome;
}

std::string FailureLine(const std::string& name, const EntryOutcome& outcome) {
    if (outcome.kind == OutcomeKind::CannotWrite) return OutcomeText(outcome, name);
    return name + ": " + OutcomeText(outcome, name);
}

std::string NoRoomText(const NoRoom& noRoom) {
    return "Not enough free space: the files need " + ReadableBytes(noRoom.needed) +
           ", the destination has " + ReadableBytes(noRoom.available) + ". Nothing was written.";
}

std::string FormatBatchReport(const BatchReport& report) {
    if (report.noRoom) return NoRoomText(*report.noRoom);
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
