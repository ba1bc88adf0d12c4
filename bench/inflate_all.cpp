// The floor that tarvix-cli's extract and check are measured against: every zlib stream of an
// archive inflated in memory, over all cores, with nothing read from or written to disk.
//
//   tarvix_bench_inflate ARCHIVE [runs]
//
// Reads the whole archive into memory first, then for each run inflates every Type 1 entry
// with one call into a buffer of its RealSize, the entries shared out between one thread per
// core: by libdeflate where TARVIX inflates whole (both sizes within kWholeEntryBytes), by
// zlib otherwise. Prints the median wall-clock time of the runs in milliseconds, and fails
// when a stream does not inflate to exactly its RealSize.

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "extract/entry_inflater.h"

namespace {

struct Stream {
    std::uint32_t offset;
    std::uint32_t packedSize;
    std::uint32_t realSize;
};

std::vector<Stream> StreamsOf(const tarvix::DatArchive& archive) {
    tarvix::EntryTable table;
    tarvix::FolderIndex folders;
    folders.BuildFolderTree(archive, table);
    std::vector<Stream> streams;
    for (std::size_t i = 0; i < archive.entryCount(); ++i) {
        const tarvix::EntryInfo info = GetEntryInfo(table, static_cast<tarvix::EntryIndex>(i));
        if (info.type == 1) streams.push_back({info.offset, info.packedSize, info.realSize});
    }
    return streams;
}

// One stream into `out`, by the decoder TARVIX picks for its sizes; false unless it gives
// exactly RealSize bytes.
bool Inflate(const Bytef* in, const Stream& s, std::vector<Bytef>& out,
             libdeflate_decompressor* whole) {
    out.resize(std::max<std::size_t>(out.size(), s.realSize + 1));
    if (s.packedSize <= tarvix::kWholeEntryBytes && s.realSize <= tarvix::kWholeEntryBytes) {
        return libdeflate_zlib_decompress(whole, in, s.packedSize, out.data(), s.realSize,
                                          nullptr) == LIBDEFLATE_SUCCESS;
    }
    uLongf size = s.realSize + 1;
    return uncompress(out.data(), &size, in, s.packedSize) == Z_OK && size == s.realSize;
}

// Inflates every stream once over all cores; false when any is not exactly its RealSize.
bool InflateAll(const std::string& file, const std::vector<Stream>& streams) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> ok{true};
    const auto work = [&] {
        std::vector<Bytef> out;
        libdeflate_decompressor* whole = libdeflate_alloc_decompressor();
        for (std::size_t i = 0; (i = next.fetch_add(1)) < streams.size();) {
            const auto* in = reinterpret_cast<const Bytef*>(file.data()) + streams[i].offset;
            if (!Inflate(in, streams[i], out, whole)) ok = false;
        }
        libdeflate_free_decompressor(whole);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
        threads.emplace_back(work);
    }
    for (std::thread& thread : threads) thread.join();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarvix_bench_inflate ARCHIVE [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    tarvix::DatArchive archive;
    if (!archive.load(argv[1]).ok) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 2;
    }
    const std::vector<Stream> streams = StreamsOf(archive);
    std::ifstream in(argv[1], std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (!InflateAll(file, streams)) {
            std::fprintf(stderr, "a stream did not inflate to its RealSize\n");
            return 1;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%.1f\n", ms[ms.size() / 2]);
    return 0;
}
