#include "ui/search_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_search.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

class SearchWorkerTest : public ::testing::Test {
protected:
    void Load(const std::vector<std::string>& names) {
        std::vector<datwriter::Entry> entries;
        for (const auto& name : names) entries.push_back(datwriter::Make(name, "x"));
        const auto result = archive.load(dir.write("t.dat", datwriter::BuildDat(entries)));
        ASSERT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
    }
    std::optional<std::vector<EntryIndex>> Find(const std::string& text) {
        return FindEntries(table, NamePattern(text, NamePattern::Plain::Substring), {});
    }

    test::TempDir dir;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

// What the worker delivered, by request number, as the window's thread would see it.
class Deliveries {
public:
    SearchWorker::Deliver sink() {
        return [this](std::uint64_t request, SearchWorker::Matches matches) {
            std::lock_guard lock(mutex_);
            delivered_.push_back({request, *matches});
            changed_.notify_all();
        };
    }
    // The delivery of `request`, once it has come; fails the test after a generous wait.
    std::vector<EntryIndex> waitFor(std::uint64_t request) {
        std::unique_lock lock(mutex_);
        const bool came = changed_.wait_for(lock, std::chrono::seconds(30), [&] {
            return !delivered_.empty() && delivered_.back().first == request;
        });
        EXPECT_TRUE(came) << "request " << request;
        return came ? delivered_.back().second : std::vector<EntryIndex>{};
    }
    std::vector<std::uint64_t> requests() {
        std::lock_guard lock(mutex_);
        std::vector<std::uint64_t> numbers;
        for (const auto& d : delivered_) numbers.push_back(d.first);
        return numbers;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<std::uint64_t, std::vector<EntryIndex>>> delivered_;
};

// Typing fast: many requests in a row. Whatever older ones got through came in order, and the
// last one's results always arrive.
TEST_F(SearchWorkerTest, TheWorkerDeliversTheLatestRequest) {
    std::vector<std::string> names;
    for (int i = 0; i < 50000; ++i) names.push_back("F\\N" + std::to_string(i) + ".FRM");
    ASSERT_NO_FATAL_FAILURE(Load(names));
    Deliveries deliveries;
    SearchWorker worker(table, deliveries.sink());
    std::uint64_t last = 0;
    for (const char* text : {"n", "n1", "n12", "n123", "n1234"}) {
        const std::uint64_t request =
            worker.search(NamePattern(text, NamePattern::Plain::Substring));
        EXPECT_GT(request, last);
        last = request;
    }
    EXPECT_EQ(deliveries.waitFor(last), Find("n1234"));
    const std::vector<std::uint64_t> numbers = deliveries.requests();
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());

    // An emptied pattern abandons the search; the next one is served as before.
    EXPECT_GT(worker.abandon(), last);
    const std::uint64_t next = worker.search(NamePattern("n9", NamePattern::Plain::Substring));
    EXPECT_EQ(deliveries.waitFor(next), Find("n9"));
}

// Typing one character at a time, each result awaited: narrowed searches look at the earlier
// results only, and must still find exactly what a search of every entry finds.
TEST_F(SearchWorkerTest, TypingOnNarrowsTheSearchToTheEarlierResults) {
    std::vector<std::string> names;
    for (int i = 0; i < 20000; ++i) names.push_back("F\\N" + std::to_string(i) + ".FRM");
    ASSERT_NO_FATAL_FAILURE(Load(names));
    Deliveries deliveries;
    SearchWorker worker(table, deliveries.sink());
    for (const char* text : {"n1", "n12", "N12", "n2", "*n2*", "*n2*5*", "*n2*5", "*n2*5*.frm"}) {
        const std::uint64_t request =
            worker.search(NamePattern(text, NamePattern::Plain::Substring));
        EXPECT_EQ(deliveries.waitFor(request), Find(text)) << text;
    }
}

TEST_F(SearchWorkerTest, AWorkerGoesAwayInTheMiddleOfASearch) {
    std::vector<std::string> names(200000, "A\\LONGER\\NAME\\THAN\\MOST.FRM");
    ASSERT_NO_FATAL_FAILURE(Load(names));
    Deliveries deliveries;
    {
        SearchWorker worker(table, deliveries.sink());
        worker.search(NamePattern("*a*a*a*a*a*a*a*b", NamePattern::Plain::Substring));
    }  // stops the search and joins: no hang, and nothing read after (under the sanitizers)
    EXPECT_TRUE(deliveries.requests().empty() ||
                deliveries.requests() == std::vector<std::uint64_t>{1});
}

}  // namespace
}  // namespace tarvix
