// Packing a tree of files, and the floor it is measured against:
//
//   tarvix_bench_pack pack  TREE OUT LEVEL THREADS    ScanSources + WriteArchive, as create
//   tarvix_bench_pack floor TREE LEVEL THREADS [zlib|libdeflate]
//       every file read into memory first (not timed), then compressed on THREADS threads
//       with the same library and level, nothing written
//
// Each prints the wall-clock milliseconds of what it measures, then the packed bytes.

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

#include "pack/archive_writer.h"
#include "pack/source_files.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Pack(const char* tree, const char* out, int level, unsigned threads) {
    const auto start = Clock::now();
    tarvix::SourceScan scan = tarvix::ScanSources(tree, {"."});
    tarvix::PackPlan plan;
    plan.target = out;
    plan.replacing.kind = tarvix::ReplaceRule::Kind::Anything;  // each run writes over the last
    plan.added = std::move(scan.files);
    tarvix::PackOptions options;
    options.level = level;
    options.threads = threads;
    const tarvix::PackReport report = tarvix::WriteArchive(plan, options);
    const double ms = MsSince(start);
    if (!report.written) {
        std::fprintf(stderr, "%s\n", report.error.c_str());
        return 1;
    }
    std::printf("%.0f %llu\n", ms, static_cast<unsigned long long>(report.size));
    return 0;
}

std::size_t Compress(const std::string& content, int level, bool libdeflate,
                     libdeflate_compressor* compressor, std::vector<unsigned char>& buffer) {
    if (content.empty()) return 0;
    if (libdeflate) {
        buffer.resize(libdeflate_zlib_compress_bound(compressor, content.size()));
        return libdeflate_zlib_compress(compressor, content.data(), content.size(), buffer.data(),
                                        buffer.size());
    }
    uLongf size = compressBound(static_cast<uLong>(content.size()));
    buffer.resize(size);
    compress2(buffer.data(), &size, reinterpret_cast<const Bytef*>(content.data()),
              static_cast<uLong>(content.size()), level);
    return size;
}

int Floor(const char* tree, int level, unsigned threads, bool libdeflate) {
    const tarvix::SourceScan scan = tarvix::ScanSources(tree, {"."});
    std::vector<std::string> contents;
    for (const tarvix::SourceFile& file : scan.files) {
        std::ifstream in(file.path, std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::atomic<std::size_t> next{0};
    std::atomic<unsigned long long> packed{0};
    const auto start = Clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
            std::vector<unsigned char> buffer;
            unsigned long long mine = 0;
            for (std::size_t i; (i = next.fetch_add(1)) < contents.size();) {
                const std::size_t size =
                    Compress(contents[i], level, libdeflate, compressor, buffer);
                mine += std::min(size, contents[i].size());
            }
            packed += mine;
            libdeflate_free_compressor(compressor);
        });
    }
    for (std::thread& worker : workers) worker.join();
    std::printf("%.0f %llu\n", MsSince(start), packed.load());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pack" && argc == 6) {
        return Pack(argv[2], argv[3], std::stoi(argv[4]),
                    static_cast<unsigned>(std::stoi(argv[5])));
    }
    if (mode == "floor" && (argc == 5 || argc == 6)) {
        const bool libdeflate = argc == 6 && std::string(argv[5]) == "libdeflate";
        return Floor(argv[2], std::stoi(argv[3]), static_cast<unsigned>(std::stoi(argv[4])),
                     libdeflate);
    }
    std::fprintf(stderr,
                 "usage: tarvix_bench_pack pack TREE OUT LEVEL THREADS\n"
                 "       tarvix_bench_pack floor TREE LEVEL THREADS [zlib|libdeflate]\n");
    return 2;
}
