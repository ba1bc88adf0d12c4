// The parts of TARVIX that need no window, measured with Google Benchmark:
//   tree/load+walk      open and check the archive, read the entry list, build the folder index
//   tree/load+walk/flood-*  the same for 80,000 one-file folders named against the former
//                       path hash, and their random-named twin (fixed hash key)
//   tree/load           open and check the archive and read the entry list, nothing more
//   tree/walk           the folder index alone, on an entry list already in memory
//   tree/linear-scan    the same tree built by scanning every node of a depth (yardstick)
//   list/fill-model     the file list model filled with the 100,000-file folder
//   unpack/tarvix       every entry of the realistic archive unpacked below its folders
//   unpack/tarvix-one-clash  the same with the first entry asked for again at the end: two
//                       entries that write one file must not hold up the others
//   unpack/inflate-in-memory  the same streams inflated in memory on all cores by the same
//                       decoders (yardstick); /zlib-only: every one through zlib
//   unpack/tarvix-N-worker(s)  unpacking on one and on two workers
//   unpack/write-alone  the unpacked sizes written to the same files on all cores, no
//                       inflating, no checks (what the file system costs at the least)
//   extract-all/tarvix  every entry of the realistic archive at its full path, raw
//   extract-all/plain-copy  the same byte ranges copied to the same paths (yardstick)
//   extract/tarvix      10,000 files written by ExtractBatch
//   extract/plain-copy  the same byte ranges copied into as many new files (yardstick)
//
//   tarvix_bench_core [--work=DIR] [--smoke] [Google Benchmark flags]
//
// --smoke runs every benchmark once on archives a hundred times smaller and checks the results
// (the yardstick tree equals the folder index on every archive, every file extracted); it
// exits non-zero on a mismatch.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_search.h"
#include "archive/folder_index.h"
#include "extract/batch_extraction.h"
#include "extract/entry_inflater.h"
#include "hash_flood.h"
#include "linear_scan_tree.h"
#include "synthetic_dat.h"
#include "ui/file_list_model.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;
using namespace tarvix::bench;

bool g_smoke = false;
bool g_failed = false;

void Fail(const std::string& what) {
    std::cerr << "MISMATCH: " << what << '\n';
    g_failed = true;
}

std::unique_ptr<DatArchive> Load(const fs::path& path) {
    auto archive = std::make_unique<DatArchive>();
    if (!archive->load(path).ok) {
        std::cerr << "cannot load " << path << '\n';
        std::exit(2);
    }
    return archive;
}

void LoadAndWalk(benchmark::State& state, fs::path path) {
    for (auto _ : state) {
        DatArchive archive;
        archive.load(path);
        EntryTable table;
        auto folders = std::make_unique<FolderIndex>();
        folders->BuildFolderTree(archive, table);
        benchmark::DoNotOptimize(folders->nodeCount());
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
}

// With the hash key fixed, so that every run sees the same table.
void LoadAndWalkFixedKey(benchmark::State& state, fs::path path) {
    for (auto _ : state) {
        DatArchive archive;
        archive.load(path);
        EntryTable table;
        auto folders = std::make_unique<FolderIndex>(HashKey{0x0123456789ABCDEFull, 42});
        folders->BuildFolderTree(archive, table);
        benchmark::DoNotOptimize(folders->nodeCount());
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
}

void LoadOnly(benchmark::State& state, fs::path path) {
    for (auto _ : state) {
        DatArchive archive;
        archive.load(path);
        benchmark::DoNotOptimize(archive.entryCount());
    }
}

void Walk(benchmark::State& state, fs::path path) {
    const auto archive = Load(path);
    for (auto _ : state) {
        EntryTable table;
        auto folders = std::make_unique<FolderIndex>();
        folders->BuildFolderTree(*archive, table);
        benchmark::DoNotOptimize(folders->nodeCount());
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
}

// The yardstick and the folder index must agree node for node.
void CheckSameTree(const LinearScanTree& reference, const FolderIndex& folders) {
    if (reference.nodes().size() + 1 != folders.nodeCount()) {
        Fail("node count " + std::to_string(reference.nodes().size()) + " vs " +
             std::to_string(folders.nodeCount() - 1));
        return;
    }
    for (const auto& r : reference.nodes()) {
        const FolderNode& n = folders.node(r.handle);
        if (n.name != r.name || n.parent != r.parent || n.entryIndex != r.entryIndex) {
            Fail("node " + std::to_string(r.handle) + " differs");
            return;
        }
    }
}

void LinearScan(benchmark::State& state, fs::path path) {
    const auto archive = Load(path);
    for (auto _ : state) {
        EntryTable table;
        LinearScanTree tree;
        tree.BuildFolderTree(archive->dirBlock(), table);
        benchmark::DoNotOptimize(tree.nodes().size());
        if (g_smoke) {
            EntryTable t2;
            FolderIndex folders;
            folders.BuildFolderTree(*archive, t2);
            CheckSameTree(tree, folders);
        }
    }
}

void FillModel(benchmark::State& state, fs::path path, std::string folderPath) {
    const auto archive = Load(path);
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(*archive, table);
    NodeId big = FolderIndex::kRoot;
    for (NodeId id : folders.node(FolderIndex::kRoot).children) {
        if (folders.node(id).name == folderPath) big = id;
    }
    const auto files = folders.filesOf(big);
    FileListModel model;
    for (auto _ : state) {
        model.setFiles(files, table);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["rows"] = static_cast<double>(files.size());
}

// The patterns the find window is measured with: three letters as typed, and stars that make
// the matcher try the most (no path ends in B, so every one is walked to its end).
constexpr const char* kThreeLetters = "kzt";
constexpr const char* kManyStars = "*a*a*a*a*a*a*a*b";

// What the search must find, worked out another way: a substring of the upper-cased path, or
// for the stars a path ending in B with seven As before it.
bool ExpectedMatch(const std::string& pattern, std::string path) {
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (pattern == kManyStars) {
        return !path.empty() && path.back() == 'B' &&
               std::count(path.begin(), path.end() - 1, 'A') >= 7;
    }
    std::string upper = pattern;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return path.find(upper) != std::string::npos;
}

void Search(benchmark::State& state, fs::path path, std::string text, unsigned threads) {
    const auto archive = Load(path);
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(*archive, table);
    const NamePattern pattern(text, NamePattern::Plain::Substring);
    std::vector<EntryIndex> found;
    for (auto _ : state) {
        found = FindEntries(table, pattern, {}, threads).value();
        benchmark::DoNotOptimize(found.data());
    }
    if (g_smoke) {
        std::vector<EntryIndex> expected;
        for (EntryIndex i = 0; i < archive->entryCount(); ++i) {
            if (ExpectedMatch(text, GetEntryInfo(table, i).name)) expected.push_back(i);
        }
        if (found != expected)
            Fail("search for " + text + " found " + std::to_string(found.size()));
    }
    state.counters["paths"] = static_cast<double>(archive->entryCount());
    state.counters["found"] = static_cast<double>(found.size());
}

// An archive opened and indexed, with every one of its entries to extract.
struct Indexed {
    std::unique_ptr<DatArchive> archive;
    EntryTable table;
    FolderIndex folders;
    std::vector<EntryIndex> entries;

    explicit Indexed(const fs::path& path) : archive(Load(path)), entries(archive->entryCount()) {
        folders.BuildFolderTree(*archive, table);
        for (EntryIndex i = 0; i < entries.size(); ++i) entries[i] = i;
    }
};

fs::path FreshFolder(const fs::path& work, const char* name) {
    const fs::path dir = work / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Removes a run's output and waits for the disk, so that one run's write-back does not land
// in the next run's time.
void Settle(const fs::path& dest) {
    fs::remove_all(dest);
    sync();
}

void Extract(benchmark::State& state, fs::path path, fs::path work) {
    Indexed indexed(path);
    DatArchive& archive = *indexed.archive;
    const EntryTable& table = indexed.table;
    const std::vector<EntryIndex>& entries = indexed.entries;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder(work, "out-tarvix");
        state.ResumeTiming();
        const BatchReport report = ExtractBatch(archive, table, entries, {dest, std::nullopt});
        state.PauseTiming();
        if (report.written != entries.size())
            Fail("extraction wrote " + std::to_string(report.written));
        Settle(dest);
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(entries.size());
}

// Unpacks every entry of the archive below its own folder, as the window and the command line
// do, on `threads` workers (0: one per core). With `oneClash` the first entry is asked for
// again at the end, so that two entries of the batch write one file.
void Unpack(benchmark::State& state, fs::path path, fs::path work, unsigned threads,
            bool oneClash) {
    Indexed indexed(path);
    if (oneClash) indexed.entries.push_back(indexed.entries.front());
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder(work, "out-unpack");
        state.ResumeTiming();
        ExtractTarget target{dest, std::nullopt, true};
        target.ownFolders = true;
        BatchOptions options;
        options.threads = threads;
        const BatchReport report =
            ExtractBatch(*indexed.archive, indexed.table, indexed.entries, target, options);
        state.PauseTiming();
        if (report.written != indexed.entries.size())
            Fail("unpacking wrote " + std::to_string(report.written));
        Settle(dest);
        state.ResumeTiming();
    }
}

// The limit that writing files can approach: the same streams read and inflated in memory by
// the same decoders, on one worker per core, the output thrown away. With `wholeLimit` 0 every
// stream goes through zlib, as before libdeflate took the small ones.
void InflateInMemory(benchmark::State& state, fs::path path, std::size_t wholeLimit) {
    Indexed indexed(path);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const ChunkSink discard = [](const std::uint8_t*, std::size_t) { return true; };
    for (auto _ : state) {
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> inflated{0};
        const auto work = [&] {
            EntryInflater inflater(wholeLimit);
            for (std::size_t i = 0; (i = next.fetch_add(1)) < indexed.entries.size();) {
                const EntryInfo info = GetEntryInfo(indexed.table, indexed.entries[i]);
                if (info.type != 1) continue;
                StoredBytes stored(*indexed.archive, info, nullptr);
                if (stored.readNext() &&
                    inflater.inflate(stored, info.realSize, discard, nullptr) == StreamResult::Ok)
                    ++inflated;
            }
        };
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
        for (std::thread& t : pool) t.join();
        if (g_smoke && inflated == 0) Fail("nothing inflated in memory");
    }
}

// What the file system costs at the least: as many bytes as unpacking writes, into files of
// the same names and sizes below the same folders, on one worker per core, with nothing read,
// inflated or checked. Unpacking cannot come closer to the in-memory inflation than this.
void WriteAlone(benchmark::State& state, fs::path path, fs::path work) {
    Indexed indexed(path);
    std::vector<fs::path> outputs;
    std::vector<std::size_t> sizes;
    for (EntryIndex i : indexed.entries) {
        const EntryInfo info = GetEntryInfo(indexed.table, i);
        std::string relative(info.name);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        outputs.emplace_back(relative);
        sizes.push_back(info.realSize);
    }
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder(work, "out-write-alone");
        state.ResumeTiming();
        for (const fs::path& output : outputs) fs::create_directories(dest / output.parent_path());
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> written{0};
        const auto write = [&] {
            const std::vector<char> zeros(64 * 1024);
            for (std::size_t i; (i = next.fetch_add(1)) < outputs.size();) {
                std::FILE* f = std::fopen((dest / outputs[i]).c_str(), "wb");
                if (!f) continue;
                bool ok = true;
                for (std::size_t left = sizes[i]; left > 0 && ok;) {
                    const std::size_t n = std::min(left, zeros.size());
                    ok = std::fwrite(zeros.data(), 1, n, f) == n;
                    left -= n;
                }
                if (std::fclose(f) == 0 && ok) ++written;
            }
        };
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(write);
        for (std::thread& t : pool) t.join();
        state.PauseTiming();
        if (written != outputs.size()) Fail("writing alone wrote " + std::to_string(written));
        Settle(dest);
        state.ResumeTiming();
    }
}

// Every entry of the archive at its full internal path, raw, as "Extract all" does.
void ExtractAll(benchmark::State& state, fs::path path, fs::path work) {
    Indexed indexed(path);
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder(work, "out-all");
        state.ResumeTiming();
        ExtractTarget target{dest, std::nullopt};
        target.ownFolders = true;
        const BatchReport report =
            ExtractBatch(*indexed.archive, indexed.table, indexed.entries, target);
        state.PauseTiming();
        if (report.written != indexed.entries.size())
            Fail("extract all wrote " + std::to_string(report.written));
        Settle(dest);
        state.ResumeTiming();
    }
}

// What any program must do at the least: read each byte range once and write it to a new
// file, one after the other; at its full internal path (making each folder the first time it
// is needed) or straight into the destination.
void CopyRanges(benchmark::State& state, const fs::path& path, const fs::path& dest,
                const Indexed& indexed, bool fullPaths) {
    std::vector<char> buffer(64 * 1024);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    std::size_t written = 0;
    for (EntryIndex i : indexed.entries) {
        const EntryInfo info = GetEntryInfo(indexed.table, i);
        std::string relative(fullPaths ? std::string_view(info.name)
                                       : SplitFolderAndFile(info.name).file);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const fs::path out = dest / relative;
        if (fullPaths) fs::create_directories(out.parent_path());
        std::FILE* f = std::fopen(out.c_str(), "wb");
        if (!f) continue;
        std::fseek(in, static_cast<long>(info.offset), SEEK_SET);
        bool ok = true;
        for (std::size_t left = info.packedSize; left > 0 && ok;) {
            const std::size_t n = std::min(left, buffer.size());
            ok = std::fread(buffer.data(), 1, n, in) == n &&
                 std::fwrite(buffer.data(), 1, n, f) == n;
            left -= n;
        }
        if (std::fclose(f) == 0 && ok) ++written;
    }
    std::fclose(in);
    state.PauseTiming();
    if (written != indexed.entries.size()) Fail("plain copy wrote " + std::to_string(written));
    Settle(dest);
    state.ResumeTiming();
}

void PlainCopy(benchmark::State& state, fs::path path, fs::path work, bool fullPaths) {
    Indexed indexed(path);
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder(work, fullPaths ? "out-all-copy" : "out-copy");
        state.ResumeTiming();
        CopyRanges(state, path, dest, indexed, fullPaths);
    }
    state.counters["files"] = static_cast<double>(indexed.entries.size());
}

// The console table, then each target against the medians (or single runs) it was given.
class TargetReporter : public benchmark::ConsoleReporter {
public:
    TargetReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Aggregate && !median) continue;
            Figure& f = figures_[r.run_name.function_name];
            if (f.fromMedian && !median) continue;
            f = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime(), median};
        }
    }

    void PrintTargets(const std::vector<std::string>& large, const std::string& reference) {
        std::printf("\n%-56s %10s %10s  %s\n", "target (wall-clock median; CPU time beside it)",
                    "wall", "cpu", "");
        for (const std::string& name : large) {
            Target("tree/walk/" + name + " <= 250 ms", "tree/walk/" + name, 250);
            Show("tree/load+walk/" + name + " (with loading)", "tree/load+walk/" + name);
        }
        const Figure* linear = Find("tree/linear-scan/" + reference);
        const Figure* walk = Find("tree/walk/" + reference);
        if (linear && walk) {
            const double ratio = linear->real / walk->real;
            std::printf("%-56s %9.0fx %9.0fx  %s\n",
                        ("linear scan / folder index, " + reference + " >= 100x").c_str(), ratio,
                        linear->cpu / walk->cpu, ratio >= 100 ? "met" : "MISSED");
        }
        const Figure* crafted = Find("tree/load+walk/flood-crafted");
        const Figure* random = Find("tree/load+walk/flood-random");
        if (crafted && random) {
            const double ratio = crafted->real / random->real;
            std::printf("%-56s %9.2fx %9.2fx  %s\n", "flood: crafted / random names <= 2x", ratio,
                        crafted->cpu / random->cpu, ratio <= 2 ? "met" : "MISSED");
        }
        const Figure* unpack = Find("unpack/tarvix");
        const Figure* inMemory = Find("unpack/inflate-in-memory");
        if (unpack && inMemory) {
            const double ratio = unpack->real / inMemory->real;
            std::printf("%-56s %9.2fx %9.2fx  %s\n", "unpacking / in-memory inflation <= 1.25x",
                        ratio, unpack->cpu / inMemory->cpu, ratio <= 1.25 ? "met" : "MISSED");
        }
        const Figure* alone = Find("unpack/write-alone");
        if (unpack && inMemory && alone) {
            std::printf("%-56s %9.2fx %10s  %s\n", "  writing alone / in-memory inflation",
                        alone->real / inMemory->real, "", "(the file system's share)");
            std::printf(
                "%-56s %9.2fx %10s  %s\n", "  unpacking / (in-memory inflation + writing alone)",
                unpack->real / (inMemory->real + alone->real), "", "(1.00x: no cost of ours)");
        }
        const Figure* zlibOnly = Find("unpack/inflate-in-memory/zlib-only");
        if (inMemory && zlibOnly) {
            std::printf("%-56s %9.2fx %10s  %s\n",
                        "  in memory: zlib only / libdeflate for small ones",
                        zlibOnly->real / inMemory->real, "", "(what libdeflate brings)");
        }
        const Figure* one = Find("unpack/tarvix-1-worker");
        const Figure* two = Find("unpack/tarvix-2-workers");
        if (one && two) {
            const double speedup = one->real / two->real;
            std::printf("%-56s %9.2fx %10s  %s\n", "unpacking: 2 workers over 1 >= 1.6x", speedup,
                        "", speedup >= 1.6 ? "met" : "MISSED");
        }
        const Figure* all = Find("extract-all/tarvix");
        const Figure* allCopy = Find("extract-all/plain-copy");
        if (all && allCopy) {
            const double ratio = all->real / allCopy->real;
            std::printf("%-56s %9.2fx %9.2fx  %s\n", "extract all / plain copy to folders <= 1.2x",
                        ratio, all->cpu / allCopy->cpu, ratio <= 1.2 ? "met" : "MISSED");
        }
        for (const char* text : {kThreeLetters, kManyStars}) {
            const std::string name = "search/" + std::string(text);
            Target(name + "/all-cores, 1,000,000 paths <= 100 ms", name + "/all-cores", 100);
            Show(name + ", one thread", name);
        }
        const Figure* tarvix = Find("extract/tarvix");
        const Figure* copy = Find("extract/plain-copy");
        if (tarvix && copy) {
            const double ratio = tarvix->real / copy->real;
            std::printf("%-56s %9.2fx %9.2fx  %s\n", "extraction / plain copy <= 1.2x", ratio,
                        tarvix->cpu / copy->cpu, ratio <= 1.2 ? "met" : "MISSED");
        }
    }

private:
    struct Figure {
        double real = 0;
        double cpu = 0;
        bool fromMedian = false;
    };
    const Figure* Find(const std::string& name) const {
        const auto it = figures_.find(name);
        return it == figures_.end() ? nullptr : &it->second;
    }
    void Show(const std::string& label, const std::string& name) const {
        if (const Figure* f = Find(name))
            std::printf("%-56s %7.1f ms %7.1f ms\n", label.c_str(), f->real, f->cpu);
    }
    void Target(const std::string& label, const std::string& name, double limitMs) const {
        if (const Figure* f = Find(name))
            std::printf("%-56s %7.1f ms %7.1f ms  %s\n", label.c_str(), f->real, f->cpu,
                        f->real <= limitMs ? "met" : "MISSED");
    }

    std::map<std::string, Figure> figures_;
};

benchmark::internal::Benchmark* Tune(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
    if (g_smoke) b->Iterations(1);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path work = fs::temp_directory_path() / "tarvix-bench";
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0) {
            g_smoke = true;
        } else if (std::strncmp(argv[i], "--work=", 7) == 0) {
            work = argv[i] + 7;
        } else {
            rest.push_back(argv[i]);
        }
    }
    const std::size_t scale = g_smoke ? 100 : 1;

    std::cerr << "Preparing archives in " << work << " ...\n";
    const GeneratedArchive realistic = EnsureArchive(RealisticShape(false, scale), work);
    const GeneratedArchive realisticMixed = EnsureArchive(RealisticShape(true, scale), work);
    const GeneratedArchive large = EnsureArchive(LargeShape(false, scale), work);
    const GeneratedArchive largeMixed = EnsureArchive(LargeShape(true, scale), work);
    const GeneratedArchive reference = EnsureArchive(ReferenceShape(scale), work);
    const GeneratedArchive extraction = EnsureArchive(ExtractionShape(scale), work);

    const FloodArchives flood = EnsureFloodArchives(80000 / scale, work);

    if (g_smoke) {
        if (!AllCollideUnderFormerHash(flood.crafted)) Fail("the crafted archive does not flood");
        for (const auto* a : {&realistic, &realisticMixed, &large, &largeMixed}) {
            const auto archive = Load(a->path);
            EntryTable t1, t2;
            LinearScanTree reference;
            reference.BuildFolderTree(archive->dirBlock(), t1);
            FolderIndex folders;
            folders.BuildFolderTree(*archive, t2);
            CheckSameTree(reference, folders);
        }
    }
    for (const auto* a : {&realistic, &realisticMixed, &large, &largeMixed}) {
        const std::string name = a->path.stem().string();
        Tune(
            benchmark::RegisterBenchmark(("tree/load+walk/" + name).c_str(), LoadAndWalk, a->path));
        Tune(benchmark::RegisterBenchmark(("tree/load/" + name).c_str(), LoadOnly, a->path));
        Tune(benchmark::RegisterBenchmark(("tree/walk/" + name).c_str(), Walk, a->path));
    }
    Tune(benchmark::RegisterBenchmark("tree/load+walk/flood-crafted", LoadAndWalkFixedKey,
                                      flood.crafted));
    Tune(benchmark::RegisterBenchmark("tree/load+walk/flood-random", LoadAndWalkFixedKey,
                                      flood.random));
    const std::string refName = reference.path.stem().string();
    Tune(benchmark::RegisterBenchmark(("tree/walk/" + refName).c_str(), Walk, reference.path));
    Tune(benchmark::RegisterBenchmark(("tree/linear-scan/" + refName).c_str(), LinearScan,
                                      reference.path));
    for (const auto* a : {&large, &largeMixed}) {
        Tune(benchmark::RegisterBenchmark(("list/fill-model/" + a->path.stem().string()).c_str(),
                                          FillModel, a->path, a->bigFolderPath));
    }
    Tune(benchmark::RegisterBenchmark("unpack/tarvix", Unpack, realistic.path, work, 0u, false))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/tarvix-one-clash", Unpack, realistic.path, work, 0u,
                                      true))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/inflate-in-memory", InflateInMemory, realistic.path,
                                      kWholeEntryBytes))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/inflate-in-memory/zlib-only", InflateInMemory,
                                      realistic.path, std::size_t{0}))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/write-alone", WriteAlone, realistic.path, work))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/tarvix-1-worker", Unpack, realistic.path, work, 1u,
                                      false))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("unpack/tarvix-2-workers", Unpack, realistic.path, work, 2u,
                                      false))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("extract-all/tarvix", ExtractAll, realistic.path, work))
        ->Iterations(1);
    Tune(benchmark::RegisterBenchmark("extract-all/plain-copy", PlainCopy, realistic.path, work,
                                      true))
        ->Iterations(1);
    // One thread, and one per core as the find window searches.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (const char* text : {kThreeLetters, kManyStars}) {
        Tune(benchmark::RegisterBenchmark(("search/" + std::string(text)).c_str(), Search,
                                          large.path, text, 1u));
        Tune(benchmark::RegisterBenchmark(("search/" + std::string(text) + "/all-cores").c_str(),
                                          Search, large.path, text, cores));
    }
    Tune(benchmark::RegisterBenchmark("extract/tarvix", Extract, extraction.path, work))
        ->Iterations(1);
    Tune(
        benchmark::RegisterBenchmark("extract/plain-copy", PlainCopy, extraction.path, work, false))
        ->Iterations(1);

    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!g_smoke)
        reporter.PrintTargets({large.path.stem().string(), largeMixed.path.stem().string()},
                              reference.path.stem().string());
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
