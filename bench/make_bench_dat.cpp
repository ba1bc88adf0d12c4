// Writes one of the benchmark archives, to try the program on by hand:
//
//   make_bench_dat <realistic|realistic-interleaved|large|large-interleaved|reference|
//                   extraction|big-entries|empty> <folder>
//
// and prints its path.

#include <cstdio>
#include <string>

#include "synthetic_dat.h"

int main(int argc, char** argv) {
    using namespace tarvix::bench;
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_bench_dat <shape> <folder>\n");
        return 2;
    }
    const std::string which = argv[1];
    ArchiveShape shape;
    if (which == "realistic" || which == "realistic-interleaved") {
        shape = RealisticShape(which != "realistic");
    } else if (which == "large" || which == "large-interleaved") {
        shape = LargeShape(which != "large");
    } else if (which == "reference") {
        shape = ReferenceShape();
    } else if (which == "extraction") {
        shape = ExtractionShape();
    } else if (which == "big-entries") {
        shape = BigEntriesShape();
    } else if (which == "empty") {
        shape = EmptyShape();
    } else {
        std::fprintf(stderr, "unknown shape %s\n", argv[1]);
        return 2;
    }
    const GeneratedArchive a = EnsureArchive(shape, argv[2]);
    std::printf("%s: %zu entries, %zu folders, entry list %llu bytes\n", a.path.c_str(), a.entries,
                a.folders, static_cast<unsigned long long>(a.entryListBytes));
    return 0;
}
