// Another program's lease on a file makes a non-blocking open of it fail at once: every way a
// file is opened without waiting for a FIFO must still open such a file, once the lease is
// given up.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "archive/dat_archive.h"
#include "archive/game_folder.h"
#include "dat_writer.h"
#include "support/held_lease.h"
#include "support/temp_dir.h"

namespace tarvix {
namespace {

namespace fs = std::filesystem;

struct LeasedOpenCase {
    const char* name;
    const char* file;  // below the test's folder, leased
    const char* content;
    std::function<bool(const fs::path& dir)> opens;
};

const LeasedOpenCase kLeasedOpenCases[] = {
    {"ArchiveLoads", "leased.dat", nullptr,
     [](const fs::path& dir) { return DatArchive().load(dir / "leased.dat").ok; }},
    {"FolderFileOpens", "root/leased.txt", "text",
     [](const fs::path& dir) {
         return DatArchive().loadLooseFile(dir / "root", "leased.txt", "leased.txt");
     }},
    {"GameConfigIsRead", "fallout2.cfg", "[system]\nmaster_dat=other.dat\n",
     [](const fs::path& dir) {
         const GameStackPlan plan = PlanGameStack(dir);
         return !plan.sources.empty() && plan.sources.back().path.filename() == "other.dat";
     }},
};

class LeasedOpenTest : public ::testing::TestWithParam<LeasedOpenCase> {};

TEST_P(LeasedOpenTest, OpensOnceTheLeaseIsGivenUp) {
    const LeasedOpenCase& c = GetParam();
    test::TempDir dir;
    fs::create_directories(dir / "root");
    dir.write("other.dat", "");
    const std::string content =
        c.content ? c.content : datwriter::BuildDat({datwriter::Make("A.TXT", "a")});
    const test::HeldLease lease(dir.write(c.file, content));
    if (!lease.refusal().empty()) GTEST_SKIP() << lease.refusal();
    EXPECT_TRUE(c.opens(dir.path()));
    EXPECT_TRUE(lease.broken());
}

INSTANTIATE_TEST_SUITE_P(Ways, LeasedOpenTest, ::testing::ValuesIn(kLeasedOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvix
