// Whatever the number of workers, a batch writes the files and reports the lines that writing
// its entries one after the other gives: random batches full of entries that meet on disk.

#include <zlib.h>

#include <map>
#include <random>

#include "extract/batch_extraction.h"
#include "extract_fixture.h"

namespace tarvix {
namespace {

using datwriter::Entry;
using datwriter::Make;

// Few names, so that entries meet often: twins through ".gz" (F wrapped and F.gz), a file
// where another entry needs a folder (F, F.gz, X), the same name twice, names that differ in
// case only, and names shaped like the temporary files.
const std::vector<std::string> kFolders = {"", "A\\", "a\\", "A\\F\\", "F.gz\\", "X\\", "x\\Y\\"};
const std::vector<std::string> kFiles = {"F", "f", "F.gz", "f.GZ", "X", ".tarvix-0.part", "Y"};

Entry RandomEntry(std::mt19937& random) {
    const std::string name = kFolders[random() % kFolders.size()] + kFiles[random() % kFiles.size()];
    const std::string content = name + "#" + std::to_string(random() % 1000);
    switch (random() % 3) {
        case 0:
            return Make(name, content);
        case 1:  // begins 78 DA: written as "<name>.gz" unless unpacked
            return Make(name, datwriter::Zlib(content, Z_BEST_COMPRESSION));
        default: {
            Entry packed = Make(name, datwriter::Zlib(content, Z_BEST_COMPRESSION));
            packed.type = 1;
            packed.realSize = static_cast<std::uint32_t>(content.size());
            return packed;
        }
    }
}

struct Outcome {
    std::map<std::string, std::string> files;
    std::vector<std::string> failures;
    std::size_t written = 0;
};

class BatchEquivalenceTest : public test::ExtractFixture {
protected:
    Outcome Run(const std::vector<EntryIndex>& order, bool unpack, unsigned threads) {
        std::filesystem::remove_all(dest());
        std::filesystem::create_directory(dest());
        ExtractTarget target{dest(), std::nullopt, unpack};
        target.ownFolders = true;
        BatchOptions options;
        options.threads = threads;
        const BatchReport report = ExtractBatch(archive, table, order, target, options);
        return {test::Snapshot(dest()), report.failures, report.written};
    }
};

// 20 seeds of 40 entries, 60 picks in a random order with repeats, raw and unpacked: seconds;
// before chains were keyed by the written path, several seeds differed on every run.
TEST_F(BatchEquivalenceTest, AnyNumberOfWorkersGivesTheSerialResult) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        std::vector<Entry> entries;
        for (int i = 0; i < 40; ++i) entries.push_back(RandomEntry(random));
        Load(entries);
        std::vector<EntryIndex> order;
        for (int i = 0; i < 60; ++i) order.push_back(random() % entries.size());
        for (const bool unpack : {false, true}) {
            const Outcome serial = Run(order, unpack, 1);
            for (const unsigned threads : {2u, 4u, 16u}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + (unpack ? ", unpacked" : ", raw") +
                             ", " + std::to_string(threads) + " workers");
                const Outcome parallel = Run(order, unpack, threads);
                EXPECT_EQ(parallel.files, serial.files);
                EXPECT_EQ(parallel.failures, serial.failures);
                EXPECT_EQ(parallel.written, serial.written);
            }
        }
    }
}

}  // namespace
}  // namespace tarvix
