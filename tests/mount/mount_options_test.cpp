#include "mount/mount_options.h"

#include <gtest/gtest.h>

#include "mount/unpacked_cache.h"

namespace tarvix::mount {
namespace {

struct OptionsCase {
    const char* name;
    std::vector<std::string> args;
    std::string error;  // empty when the command line is right
    bool raw = false;
    std::size_t cacheBytes = kDefaultCacheBytes;
    bool foreground = false;
    std::vector<std::string> fuseOptions{};
    std::vector<std::string> sources = {"a.dat"};
    std::string gameDir{};
};

class MountOptionsTest : public testing::TestWithParam<OptionsCase> {};

TEST_P(MountOptionsTest, ParsesOrSaysWhy) {
    const OptionsCase& c = GetParam();
    const ParsedMountOptions parsed = ParseMountOptions(c.args);
    EXPECT_EQ(parsed.error, c.error);
    if (!c.error.empty()) return;
    EXPECT_EQ(parsed.options.sources, c.sources);
    EXPECT_EQ(parsed.options.gameDir, c.gameDir);
    EXPECT_EQ(parsed.options.mountPoint, "mnt");
    EXPECT_EQ(parsed.options.settings.raw, c.raw);
    EXPECT_EQ(parsed.options.settings.cacheBytes, c.cacheBytes);
    EXPECT_EQ(parsed.options.foreground, c.foreground);
    EXPECT_EQ(parsed.options.fuseOptions, c.fuseOptions);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, MountOptionsTest,
    testing::Values(
        OptionsCase{"Plain", {"a.dat", "mnt"}, ""},
        OptionsCase{"Raw", {"--raw", "a.dat", "mnt"}, "", true},
        OptionsCase{"CacheInline", {"--cache-size=64M", "a.dat", "mnt"}, "", false, 64 << 20},
        OptionsCase{
            "CacheSeparate", {"a.dat", "--cache-size", "512K", "mnt"}, "", false, 512 << 10},
        OptionsCase{"CacheNone", {"--cache-size=0", "a.dat", "mnt"}, "", false, 0},
        OptionsCase{"CacheBytes", {"--cache-size=1000", "a.dat", "mnt"}, "", false, 1000},
        OptionsCase{"Foreground", {"-f", "a.dat", "mnt"}, "", false, kDefaultCacheBytes, true},
        OptionsCase{"FuseOptions",
                    {"-o", "allow_other", "-oauto_unmount", "a.dat", "mnt"},
                    "",
                    false,
                    kDefaultCacheBytes,
                    false,
                    {"allow_other", "auto_unmount"}},
        OptionsCase{
            "ReadWriteRefused", {"-o", "rw", "a.dat", "mnt"}, "-o rw: the mount is read-only"},
        OptionsCase{"ReadWriteInAListRefused",
                    {"-oallow_other,rw,auto_unmount", "a.dat", "mnt"},
                    "-o rw: the mount is read-only"},
        OptionsCase{"ReadWriteLookalikesPass",
                    {"-o", "rwx,norw", "a.dat", "mnt"},
                    "",
                    false,
                    kDefaultCacheBytes,
                    false,
                    {"rwx,norw"}},
        OptionsCase{"DashedNameAfterEnd", {"--", "a.dat", "mnt"}, ""},
        OptionsCase{
            "BadSize", {"--cache-size=12X", "a.dat", "mnt"}, "--cache-size: not a size: \"12X\""},
        OptionsCase{"NegativeSize",
                    {"--cache-size=-1", "a.dat", "mnt"},
                    "--cache-size: not a size: \"-1\""},
        OptionsCase{"HugeSize",
                    {"--cache-size=99999999999999G", "a.dat", "mnt"},
                    "--cache-size: not a size: \"99999999999999G\""},
        OptionsCase{"SizeMissing", {"a.dat", "mnt", "--cache-size"}, "--cache-size needs a size"},
        OptionsCase{"Unknown", {"--bogus", "a.dat", "mnt"}, "unknown option --bogus"},
        OptionsCase{"NoMountPoint", {"a.dat"}, "give an archive and a mount point"},
        OptionsCase{"AStackInItsOrder",
                    {"patch.dat", "data", "a.dat", "mnt"},
                    "",
                    false,
                    kDefaultCacheBytes,
                    false,
                    {},
                    {"patch.dat", "data", "a.dat"}},
        OptionsCase{"GameFolder",
                    {"--game", "Fallout 2", "mnt"},
                    "",
                    false,
                    kDefaultCacheBytes,
                    false,
                    {},
                    {},
                    "Fallout 2"},
        OptionsCase{"GameFolderInline",
                    {"-f", "--game=/games/fo1", "mnt"},
                    "",
                    false,
                    kDefaultCacheBytes,
                    true,
                    {},
                    {},
                    "/games/fo1"},
        OptionsCase{"GameFolderAndSources",
                    {"--game", "fo2", "a.dat", "mnt"},
                    "with --game, give only the mount point"},
        OptionsCase{"GameFolderWithoutMountPoint",
                    {"--game", "fo2"},
                    "with --game, give only the mount point"},
        OptionsCase{"GameFolderMissing", {"a.dat", "--game"}, "--game needs the game's folder"},
        OptionsCase{"GameFolderEmpty", {"--game=", "mnt"}, "--game needs the game's folder"}),
    [](const auto& info) { return info.param.name; });

std::shared_ptr<const UnpackedContent> ContentOf(std::size_t bytes) {
    auto content = std::make_shared<UnpackedContent>();
    content->bytes.resize(bytes);
    content->bytes.shrink_to_fit();
    return content;
}

struct CacheCase {
    const char* name;
    std::size_t budget;
    std::vector<int> steps;  // n >= 0 inserts node n (1000 bytes); -n - 1 finds node n
    std::vector<NodeId> kept;
};

class UnpackedCacheTest : public testing::TestWithParam<CacheCase> {};

TEST_P(UnpackedCacheTest, KeepsTheMostRecentlyUsedWithinItsBudget) {
    const CacheCase& c = GetParam();
    UnpackedCache cache(c.budget);
    for (const int step : c.steps) {
        if (step >= 0) {
            cache.insert(static_cast<NodeId>(step), ContentOf(1000));
        } else {
            cache.find(static_cast<NodeId>(-step - 1));
        }
    }
    std::vector<NodeId> kept;
    for (NodeId id = 0; id < 10; ++id)
        if (cache.find(id)) kept.push_back(id);
    EXPECT_EQ(kept, c.kept);
    EXPECT_LE(cache.heldBytes(), c.budget);
}

// Two entries of 1000 bytes and what the cache counts around them, but not three.
constexpr std::size_t kRoomForTwo = std::size_t{2} * 1200;

INSTANTIATE_TEST_SUITE_P(
    Budgets, UnpackedCacheTest,
    testing::Values(CacheCase{"OldestGoes", kRoomForTwo, {1, 2, 3}, {2, 3}},
                    CacheCase{"UseKeepsIt", kRoomForTwo, {1, 2, -2, 3}, {1, 3}},
                    CacheCase{"ZeroKeepsNothing", 0, {1, 2}, {}},
                    CacheCase{"SecondInsertIsOneCopy", kRoomForTwo, {1, 1, 2}, {1, 2}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::mount
