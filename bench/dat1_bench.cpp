// Fallout 1 (DAT1) beside Fallout 2 (DAT2), with Google Benchmark:
//   open/dat1, open/dat2    load and build the folder index of the realistic archive's 23,000
//                           paths in 1,000 folders (bench/synthetic_dat.h), laid out by each
//                           format (what opening shows the tree after)
//   load/dat1, load/dat2    load 1,000,000 entries, nothing more
//   decode/lzss/KIND, decode/zlib/KIND  one core decoding the same 2 MiB of game-like text
//                           (KIND text) or of art-like pixel runs (pixels): LZSS in blocks
//                           (EntryUnpacker, as extraction does) against zlib streaming
//                           (EntryInflater without the whole-entry path); bytes = output
//   unpack/dat1-tarvix      the realistic archive's 23,000 paths as LZSS entries of 6 to 66 KB
//                           of text (800 MB in all), unpacked below their folders by
//                           ExtractBatch on all cores
//   unpack/decode-in-memory the same entries decoded by EntryUnpacker on all cores, kept nowhere
//   unpack/write-alone      the same sizes written to the same files on all cores, no decoding
//   unpack/write-renamed    the same, each file written under a temporary name and renamed
//
//   tarvix_bench_dat1 [--work=DIR] [--smoke] [Google Benchmark flags]
//
// --smoke runs each once on a hundredth of the entries and checks what was loaded and decoded.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "extract/batch_extraction.h"
#include "extract/entry_inflater.h"
#include "extract/entry_unpacker.h"
#include "lzss_encoder.h"
#include "synthetic_dat.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;

bool g_smoke = false;
fs::path g_work = fs::temp_directory_path() / "tarvix-bench-dat1";

void Fail(const char* what) {
    std::fprintf(stderr, "dat1_bench: %s\n", what);
    std::exit(1);
}

std::size_t Scaled(std::size_t n) {
    return g_smoke ? n / 100 : n;
}

std::string FolderOf(std::size_t i, std::size_t folders) {
    const std::size_t f = i % folders;
    return "ART\\DIR" + std::to_string(f / 40) + "\\SUB" + std::to_string(f % 40);
}

std::string NameOf(std::size_t i) {
    return "F" + std::to_string(i) + ".FRM";
}

// The same entries (a few bytes each, folder by folder) as DAT1 and as DAT2.
fs::path Archive(bool dat1, std::size_t entries, std::size_t folders) {
    const fs::path path = g_work / ((dat1 ? "dat1-" : "dat2-") + std::to_string(entries) + ".dat");
    if (fs::exists(path)) return path;
    fs::create_directories(g_work);
    std::string bytes;
    if (dat1) {
        std::vector<datwriter::Dat1Directory> directories(folders);
        for (std::size_t f = 0; f < folders; ++f) directories[f].name = FolderOf(f, folders);
        for (std::size_t i = 0; i < entries; ++i) {
            directories[i % folders].files.push_back(datwriter::Dat1Stored(NameOf(i), "abc"));
        }
        bytes = datwriter::BuildDat1(directories);
    } else {
        std::vector<datwriter::Entry> list;
        list.reserve(entries);
        for (std::size_t f = 0; f < folders; ++f) {
            for (std::size_t i = f; i < entries; i += folders) {
                list.push_back(datwriter::Make(FolderOf(f, folders) + "\\" + NameOf(i), "abc"));
            }
        }
        bytes = datwriter::BuildDat(list);
    }
    if (!datwriter::WriteFile(path.string(), bytes)) Fail("cannot write an archive");
    return path;
}

// The internal paths of the realistic archive (the shape the other benchmarks open), in its
// order: folders contiguous and sorted. Its data is cut to a few bytes, since only the paths
// are used.
std::vector<std::string> RealisticPaths() {
    bench::ArchiveShape shape = bench::RealisticShape(false, g_smoke ? 100 : 1);
    shape.key += "-paths";
    shape.meanBytes = 8;
    DatArchive archive;
    if (!archive.load(bench::EnsureArchive(shape, g_work).path).ok) Fail("realistic refused");
    EntryTable table;
    FillEntryTable(archive, table);
    std::vector<std::string> paths;
    for (EntryIndex i = 0; i < archive.entryCount(); ++i) {
        paths.push_back(GetEntryInfo(table, i).name);
    }
    return paths;
}

// Splits "DIR\SUB\FILE" into its directory ("." for none) and its file name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return {".", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// `paths` as DAT1 directories, one per run of paths in the same folder, each file made by
// `make` from its name and its index in `paths`.
template <typename MakeFile>
std::vector<datwriter::Dat1Directory> Dat1Directories(const std::vector<std::string>& paths,
                                                      MakeFile make) {
    std::vector<datwriter::Dat1Directory> directories;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto [directory, name] = SplitPath(paths[i]);
        if (directories.empty() || directories.back().name != directory) {
            directories.push_back({directory, {}});
        }
        directories.back().files.push_back(make(name, i));
    }
    return directories;
}

// The realistic archive's paths, a few bytes each, as DAT1 and as DAT2.
fs::path RealisticArchive(bool dat1) {
    const fs::path path = g_work / (dat1 ? "realistic-dat1.dat" : "realistic-dat2.dat");
    if (fs::exists(path)) return path;
    const std::vector<std::string> paths = RealisticPaths();
    std::string bytes;
    if (dat1) {
        bytes =
            datwriter::BuildDat1(Dat1Directories(paths, [](const std::string& name, std::size_t) {
                return datwriter::Dat1Stored(name, "abc");
            }));
    } else {
        std::vector<datwriter::Entry> list;
        for (const std::string& p : paths) list.push_back(datwriter::Make(p, "abc"));
        bytes = datwriter::BuildDat(list);
    }
    if (!datwriter::WriteFile(path.string(), bytes)) Fail("cannot write an archive");
    return path;
}

void Open(benchmark::State& state, bool dat1) {
    const fs::path path = RealisticArchive(dat1);
    const std::size_t entries = Scaled(23000);
    for (auto _ : state) {
        DatArchive archive;
        if (!archive.load(path).ok) Fail("refused");
        EntryTable table;
        FolderIndex folders;
        folders.BuildFolderTree(archive, table);
        if (archive.entryCount() != entries) Fail("wrong entry count");
        benchmark::DoNotOptimize(folders.nodeCount());
    }
}

void Load(benchmark::State& state, bool dat1) {
    const std::size_t entries = Scaled(1000000);
    const fs::path path = Archive(dat1, entries, Scaled(20000));
    for (auto _ : state) {
        DatArchive archive;
        if (!archive.load(path).ok || archive.entryCount() != entries) Fail("load failed");
        benchmark::DoNotOptimize(archive.dirBlock().data());
    }
}

std::string GameText(std::size_t size) {
    std::string text;
    for (std::uint32_t i = 1; text.size() < size; i = i * 1103515245u + 12345u) {
        text += "{" + std::to_string(100 + i % 900) + "}{}{" +
                (i % 3 ? "You see a rusty knife." : "The Vault door is sealed.") + "}\r\n";
    }
    return text.substr(0, size);
}

// Art-like bytes: runs of 1 to 6 pixels from a palette of 48, which LZSS packs far less well
// than the text (its matches are short).
std::string PixelData(std::size_t size) {
    std::string pixels;
    for (std::uint32_t i = 7; pixels.size() < size; i = i * 1103515245u + 12345u) {
        pixels.append(1 + (i >> 8) % 6, static_cast<char>((i >> 16) % 48));
    }
    return pixels.substr(0, size);
}

// 2 MiB of one kind of content ("text" or "pixels").
std::string Content(const std::string& kind) {
    const std::size_t size = g_smoke ? 65536 : 2 << 20;
    return kind == "text" ? GameText(size) : PixelData(size);
}

// One entry of `packed` bytes in an archive of its own, decoded by `decode` each iteration.
template <typename Decoder>
void Decode(benchmark::State& state, const std::string& kind, std::uint32_t attributes,
            const std::string& packed, std::uint32_t size, Decoder decode) {
    const fs::path path = g_work / ("decode-" + kind + "-" + std::to_string(attributes) + ".dat");
    fs::create_directories(g_work);
    if (attributes == 0) {
        datwriter::Entry e = datwriter::Make("D\\F", packed);
        e.type = 1;
        e.realSize = size;
        datwriter::WriteFile(path.string(), datwriter::BuildDat({e}));
    } else {
        datwriter::Dat1File f = datwriter::Dat1Stored("F", packed);
        f.attributes = attributes;
        f.size = size;
        datwriter::WriteFile(path.string(), datwriter::BuildDat1({{"D", {f}}}));
    }
    DatArchive archive;
    if (!archive.load(path).ok) Fail("decode archive refused");
    EntryTable table;
    FillEntryTable(archive, table);
    const EntryInfo info = GetEntryInfo(table, 0);
    std::uint64_t produced = 0;
    const ChunkSink count = [&produced](const std::uint8_t*, std::size_t n) {
        produced += n;
        return true;
    };
    for (auto _ : state) {
        StoredBytes stored(archive, info, nullptr);
        if (!stored.readNext()) Fail("read failed");
        if (decode(archive, info, stored, count) != StreamResult::Ok) Fail("decode failed");
    }
    if (produced != std::uint64_t{size} * state.iterations()) Fail("wrong output size");
    state.SetBytesProcessed(static_cast<std::int64_t>(produced));
}

void DecodeLzss(benchmark::State& state, const std::string& kind) {
    const std::string text = Content(kind);
    EntryUnpacker unpacker;
    Decode(state, kind, 0x40, datwriter::LzssBlocks(text), static_cast<std::uint32_t>(text.size()),
           [&unpacker](const DatArchive& a, const EntryInfo& i, StoredBytes& s,
                       const ChunkSink& sink) { return unpacker.unpack(a, i, s, sink, nullptr); });
}

void DecodeZlib(benchmark::State& state, const std::string& kind) {
    const std::string text = Content(kind);
    EntryInflater streaming(0);  // zlib alone, not libdeflate
    Decode(
        state, kind, 0, datwriter::Zlib(text, 9), static_cast<std::uint32_t>(text.size()),
        [&streaming](const DatArchive&, const EntryInfo& i, StoredBytes& s, const ChunkSink& sink) {
            return streaming.inflate(s, i.realSize, sink, nullptr);
        });
}

// The realistic archive's paths as LZSS entries in blocks: texts of 6 to 66 KB (36 KB on
// average, about what the realistic archive's zlib entries unpack to), packed once each
// for 64 sizes, since the encoder is far slower than the decoder.
fs::path UnpackArchive() {
    const fs::path path = g_work / (g_smoke ? "unpack-realistic-s100.dat" : "unpack-realistic.dat");
    if (fs::exists(path)) return path;
    constexpr std::size_t kTexts = 64;
    std::vector<std::pair<std::string, std::uint32_t>> packed;
    for (std::size_t t = 0; t < kTexts; ++t) {
        const std::string text = GameText(6000 + t * 60000 / (kTexts - 1));
        packed.emplace_back(datwriter::LzssBlocks(text), static_cast<std::uint32_t>(text.size()));
    }
    const auto make = [&packed](const std::string& name, std::size_t i) {
        const auto& [data, size] = packed[i * 2654435761u % packed.size()];
        datwriter::Dat1File file = datwriter::Dat1Stored(name, data);
        file.attributes = 0x40;
        file.size = size;
        return file;
    };
    const std::string bytes = datwriter::BuildDat1(Dat1Directories(RealisticPaths(), make));
    if (!datwriter::WriteFile(path.string(), bytes)) Fail("cannot write the unpack archive");
    return path;
}

struct Opened {
    DatArchive archive;
    EntryTable table;
    std::vector<EntryIndex> entries;
    explicit Opened(const fs::path& path) {
        if (!archive.load(path).ok) Fail("unpack archive refused");
        FillEntryTable(archive, table);
        for (EntryIndex i = 0; i < archive.entryCount(); ++i) entries.push_back(i);
    }
};

fs::path FreshFolder(const char* name) {
    const fs::path dest = g_work / name;
    fs::remove_all(dest);
    fs::create_directories(dest);
    return dest;
}

// The output removed and the disk given time to write back, untimed, so that no run pays for
// the one before (as the core benchmarks do).
void Settle(benchmark::State& state, const fs::path& dest) {
    state.PauseTiming();
    fs::remove_all(dest);
    sync();
    state.ResumeTiming();
}

unsigned Cores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

template <typename Work>
void OnAllCores(Work work) {
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < Cores(); ++t) threads.emplace_back(work);
    for (std::thread& t : threads) t.join();
}

void UnpackTarvix(benchmark::State& state) {
    Opened opened(UnpackArchive());
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder("out-tarvix");
        state.ResumeTiming();
        const ExtractTarget target{dest, std::nullopt, true, true};
        const BatchReport report =
            ExtractBatch(opened.archive, opened.table, opened.entries, target);
        if (report.written != opened.entries.size()) Fail("not every entry unpacked");
        Settle(state, dest);
    }
}

void DecodeInMemory(benchmark::State& state) {
    Opened opened(UnpackArchive());
    for (auto _ : state) {
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> good{0};
        OnAllCores([&] {
            EntryUnpacker unpacker;
            const ChunkSink keep = [](const std::uint8_t*, std::size_t) { return true; };
            for (std::size_t i; (i = next.fetch_add(1)) < opened.entries.size();) {
                const EntryInfo info = GetEntryInfo(opened.table, opened.entries[i]);
                StoredBytes stored(opened.archive, info, nullptr);
                if (stored.readNext() && unpacker.unpack(opened.archive, info, stored, keep,
                                                         nullptr) == StreamResult::Ok) {
                    ++good;
                }
            }
        });
        if (good != opened.entries.size()) Fail("not every entry decoded");
    }
}

// `renamed`: each file written under a temporary name in its folder and renamed to its own,
// as extraction does so that no half-written file ever bears an entry's name.
void WriteAlone(benchmark::State& state, bool renamed) {
    Opened opened(UnpackArchive());
    std::vector<fs::path> outputs;
    std::vector<std::size_t> sizes;
    for (EntryIndex i : opened.entries) {
        const EntryInfo info = GetEntryInfo(opened.table, i);
        std::string relative(info.name);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        outputs.emplace_back(relative);
        sizes.push_back(info.realSize);
    }
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = FreshFolder("out-write-alone");
        state.ResumeTiming();
        for (const fs::path& output : outputs) fs::create_directories(dest / output.parent_path());
        std::atomic<std::size_t> next{0};
        OnAllCores([&] {
            const std::vector<char> zeros(64 * 1024);
            for (std::size_t i; (i = next.fetch_add(1)) < outputs.size();) {
                const fs::path target = dest / outputs[i];
                const fs::path written =
                    renamed ? fs::path(target).replace_filename(".part-" + std::to_string(i))
                            : target;
                std::FILE* f = std::fopen(written.c_str(), "wb");
                if (!f) Fail("cannot write");
                // In pieces: an entry may be longer than the zeros.
                for (std::size_t left = sizes[i]; left > 0;) {
                    const std::size_t n = std::min(left, zeros.size());
                    if (std::fwrite(zeros.data(), 1, n, f) != n) Fail("cannot write");
                    left -= n;
                }
                if (std::fclose(f) != 0) Fail("cannot write");
                if (renamed && std::rename(written.c_str(), target.c_str()) != 0) {
                    Fail("cannot rename");
                }
            }
        });
        Settle(state, dest);
    }
}

void Register() {
    const auto once = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond);
        if (g_smoke) b->Iterations(1);
    };
    once(benchmark::RegisterBenchmark("open/dat1", Open, true));
    once(benchmark::RegisterBenchmark("open/dat2", Open, false));
    once(benchmark::RegisterBenchmark("load/dat1", Load, true));
    once(benchmark::RegisterBenchmark("load/dat2", Load, false));
    for (const std::string kind : {"text", "pixels"}) {
        once(benchmark::RegisterBenchmark(("decode/lzss/" + kind).c_str(), DecodeLzss, kind));
        once(benchmark::RegisterBenchmark(("decode/zlib/" + kind).c_str(), DecodeZlib, kind));
    }
    once(benchmark::RegisterBenchmark("unpack/dat1-tarvix", UnpackTarvix)->UseRealTime());
    once(benchmark::RegisterBenchmark("unpack/decode-in-memory", DecodeInMemory)->UseRealTime());
    once(benchmark::RegisterBenchmark("unpack/write-alone", WriteAlone, false)->UseRealTime());
    once(benchmark::RegisterBenchmark("unpack/write-renamed", WriteAlone, true)->UseRealTime());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0) {
            g_smoke = true;
        } else if (std::strncmp(argv[i], "--work=", 7) == 0) {
            g_work = argv[i] + 7;
        } else {
            rest.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
