// A stack of sources at game size: opening it (every source loaded and the union of entries
// and folders built) against opening the same sources one by one as single archives (load and
// folder tree) and listing the folder; and looking one path up, load included.
//
//   stack/open        the four sources opened and the union built
//   stack/separately  each archive loaded with its folder tree, the folder listed
//   stack/which       the sources opened, then one path looked up without the union
//   stack/union-only  the union built again over sources already open
//   stack/window      stack/open, then what the window adds to show it: the effective
//                     entries laid out as one entry list and its folder tree built (the tree
//                     view itself makes its rows on demand), as ArchiveSession::showStack does
//   stack/paired      stack/window and stack/separately alternated within each iteration, so
//                     that both sides see the same load; counters give each side's mean time
//                     per iteration and their ratio
//
// Usage: tarvix_bench_stack [--smoke] [--work=DIR] [Google Benchmark options]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_session.h"
#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_files.h"
#include "archive/folder_index.h"
#include "archive/source_stack.h"
#include "dat_writer.h"
#include "synthetic_dat.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;
using namespace tarvix::bench;

bool g_smoke = false;

struct StackFiles {
    std::vector<fs::path> sources;  // in the stack's order: patch, folder, second, master
    std::string lookedUp;           // a path in three sources, in another spelling
};

std::string Lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// The patch archive and the folder hold copies of the master archive's paths (every n-th),
// the folder's in lower case on disk, as patches and mods do.
StackFiles PrepareStack(const fs::path& work, std::size_t scale) {
    ArchiveShape masterShape = RealisticShape(false, scale);
    masterShape.key = "stack-master" + std::string(scale > 1 ? "-small" : "");
    masterShape.meanBytes = 64;  // opening reads the entry list only; the data need not be big
    const GeneratedArchive master = EnsureArchive(masterShape, work);
    ArchiveShape secondShape = masterShape;
    secondShape.key += "-second";
    secondShape.entries = std::max<std::size_t>(1, 10000 / scale);
    secondShape.folders = std::max<std::size_t>(1, 500 / scale);
    const GeneratedArchive second = EnsureArchive(secondShape, work);

    DatArchive archive;
    archive.load(master.path);
    EntryTable table;
    FillEntryTable(archive, table);
    const std::size_t patchCount = std::max<std::size_t>(1, 500 / scale);
    const std::size_t folderCount = std::max<std::size_t>(1, 5000 / scale);
    StackFiles files;
    files.sources = {work / "stack-patch000.dat", work / "stack-data", second.path, master.path};
    std::vector<datwriter::Entry> patch;
    for (std::size_t i = 0; i < patchCount; ++i) {
        const auto index = static_cast<EntryIndex>(i * (archive.entryCount() / patchCount));
        patch.push_back(datwriter::Make(std::string(EntryName(table[index])), "p"));
    }
    datwriter::WriteFile(files.sources[0].string(), datwriter::BuildDat(patch));
    files.lookedUp = Lowered(patch.front().name);
    if (!fs::exists(files.sources[1])) {
        const fs::path partial = work / "stack-data.partial";
        fs::remove_all(partial);
        for (std::size_t i = 0; i < folderCount; ++i) {
            const auto index = static_cast<EntryIndex>(i * (archive.entryCount() / folderCount));
            std::string name = Lowered(std::string(EntryName(table[index])));
            std::replace(name.begin(), name.end(), '\\', '/');
            fs::create_directories((partial / name).parent_path());
            std::ofstream(partial / name) << "f";
        }
        fs::rename(partial, files.sources[1]);
    }
    return files;
}

std::unique_ptr<SourceStack> OpenStack(const StackFiles& files) {
    auto stack = std::make_unique<SourceStack>();
    for (const fs::path& path : files.sources) {
        stack->add(StackSource::Open(path, path.string()).source);
    }
    stack->build();
    return stack;
}

void Open(benchmark::State& state, const StackFiles& files) {
    for (auto _ : state) {
        const auto stack = OpenStack(files);
        benchmark::DoNotOptimize(stack->entries().size());
    }
}

std::size_t ShowInWindow(const StackFiles& files) {
    ArchiveSession session;
    session.showStack(files.sources.front().parent_path(), OpenStack(files));
    return session.folders().nodeCount();
}

void ShownInWindow(benchmark::State& state, const StackFiles& files) {
    for (auto _ : state) benchmark::DoNotOptimize(ShowInWindow(files));
}

void UnionOnly(benchmark::State& state, const StackFiles& files) {
    const auto stack = OpenStack(files);
    for (auto _ : state) {
        stack->build();
        benchmark::DoNotOptimize(stack->entries().size());
    }
}

std::size_t OpenSeparately(const StackFiles& files) {
    std::size_t seen = 0;
    for (const fs::path& path : files.sources) {
        if (fs::is_directory(path)) {
            seen += ListFolderFiles(path)->size();
            continue;
        }
        DatArchive archive;
        archive.load(path);
        EntryTable table;
        FolderIndex folders;
        folders.BuildFolderTree(archive, table);
        seen += folders.nodeCount();
    }
    return seen;
}

void Separately(benchmark::State& state, const StackFiles& files) {
    for (auto _ : state) benchmark::DoNotOptimize(OpenSeparately(files));
}

// Each side timed on its own, the side that goes first changing every iteration.
void Paired(benchmark::State& state, const StackFiles& files) {
    using Clock = std::chrono::steady_clock;
    Clock::duration window{}, separately{};
    const auto timed = [](Clock::duration& total, auto&& side) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(side());
        total += Clock::now() - start;
    };
    bool windowFirst = true;
    for (auto _ : state) {
        const auto windowSide = [&] { return ShowInWindow(files); };
        const auto separateSide = [&] { return OpenSeparately(files); };
        if (windowFirst) timed(window, windowSide);
        timed(separately, separateSide);
        if (!windowFirst) timed(window, windowSide);
        windowFirst = !windowFirst;
    }
    const auto ms = [&](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count() /
               static_cast<double>(state.iterations());
    };
    state.counters["window_ms"] = ms(window);
    state.counters["separately_ms"] = ms(separately);
    state.counters["ratio"] = ms(window) / ms(separately);
}

// As tarvix-cli which does it: the sources opened, a folder's files not measured, the path
// looked up without the union.
void Which(benchmark::State& state, const StackFiles& files) {
    for (auto _ : state) {
        SourceStack stack;
        for (const fs::path& path : files.sources) {
            stack.add(StackSource::Open(path, path.string(), /*measureFiles*/ false).source);
        }
        const std::optional<StackEntry> entry = stack.lookUp(files.lookedUp);
        if (!entry || entry->shadows.size() < 2) state.SkipWithError("the path is not shadowed");
        benchmark::DoNotOptimize(entry);
    }
}

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
    fs::create_directories(work);
    std::cerr << "Preparing the stack in " << work << " ...\n";
    const StackFiles files = PrepareStack(work, g_smoke ? 100 : 1);
    Tune(benchmark::RegisterBenchmark("stack/open", Open, files));
    Tune(benchmark::RegisterBenchmark("stack/separately", Separately, files));
    Tune(benchmark::RegisterBenchmark("stack/union-only", UnionOnly, files));
    Tune(benchmark::RegisterBenchmark("stack/window", ShownInWindow, files));
    Tune(benchmark::RegisterBenchmark("stack/which", Which, files));
    Tune(benchmark::RegisterBenchmark("stack/paired", Paired, files));
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
