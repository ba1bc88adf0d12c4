// The two ways the mount reads a file: through an open file (where the kernel opens files) and
// by node alone (where it does not), the second answering whole-unpacked files from their
// cached content in place. Both must give the same bytes and the same failures, piece by piece.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/source_stack.h"
#include "archive/stack_source.h"
#include "dat_writer.h"
#include "mount/mounted_files.h"
#include "mount/stack_entries.h"
#include "support/temp_dir.h"
#include "zlib_samples.h"

namespace tarvix::mount {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

datwriter::Entry Packed(const std::string& name, const std::string& stored, std::size_t realSize) {
    datwriter::Entry entry = datwriter::Make(name, stored);
    entry.realSize = static_cast<std::uint32_t>(realSize);
    entry.type = 1;
    return entry;
}

const std::string& Small() {
    static const std::string content = test::SampleContent(40'000, 1);
    return content;
}
const std::string& Large() {
    static const std::string content = test::SampleContent(kMiB + kMiB / 2, 2);
    return content;
}
const std::string& Stored() {
    static const std::string content = test::SampleContent(70'000, 3);
    return content;
}

// The damaged entries: content in blocks of this many bytes, damaged from the block start
// named on; block start k begins the content after k + 1 blocks.
constexpr std::size_t kSmallBlock = 10'000;
constexpr std::size_t kSmallDamagedStart = 1;
constexpr std::size_t kLargeBlock = 300'000;
constexpr std::size_t kLargeDamagedStart = 2;

// Stored, whole-unpacked, streamed, damaged in either, and of an unknown packing.
std::vector<datwriter::Entry> Entries() {
    const std::string& small = Small();
    const std::string& large = Large();
    std::vector<std::size_t> starts;
    const std::string smallStream = test::ZlibWithBlockStarts(small, kSmallBlock, starts);
    const std::string smallBroken = test::WithInvalidBlock(smallStream, starts[kSmallDamagedStart]);
    starts.clear();
    const std::string largeStream = test::ZlibWithBlockStarts(large, kLargeBlock, starts);
    const std::string largeBroken = test::WithInvalidBlock(largeStream, starts[kLargeDamagedStart]);
    datwriter::Entry unknown = datwriter::Make("UNKNOWN.BIN", "????");
    unknown.type = 7;
    return {
        datwriter::Make("STORED.TXT", Stored()),
        Packed("SMALL.INT", datwriter::Zlib(small, 6), small.size()),
        Packed("LARGE.DAT", datwriter::Zlib(large, 6), large.size()),
        Packed("SMALLBAD.INT", smallBroken, small.size()),
        Packed("LARGEBAD.DAT", largeBroken, large.size()),
        unknown,
    };
}

// Every piece of a file of `size` bytes in turn, and what a read at its end gives: the bytes,
// or -errno where a piece failed.
std::vector<std::string> Pieces(const std::function<long(std::uint64_t, std::uint8_t*)>& read,
                                std::size_t piece, std::uint64_t size) {
    std::vector<std::string> pieces;
    std::vector<std::uint8_t> out(piece);
    for (std::uint64_t at = 0; at < size; at += piece) {
        const long got = read(at, out.data());
        if (got < 0) {
            pieces.push_back("error " + std::to_string(-got));
        } else {
            pieces.emplace_back(reinterpret_cast<const char*>(out.data()),
                                static_cast<std::size_t>(got));
        }
    }
    pieces.push_back("end " + std::to_string(read(size, out.data())));
    return pieces;
}

// The entries of one archive written with `entries`, mounted alone.
std::unique_ptr<StackEntries> Mounted(const test::TempDir& dir,
                                      const std::vector<datwriter::Entry>& entries) {
    const auto path = dir.write("paths.dat", datwriter::BuildDat(entries));
    StackSource::Opened opened = StackSource::Open(path, "paths.dat");
    EXPECT_TRUE(opened.source) << opened.error;
    auto stack = std::make_unique<SourceStack>();
    if (opened.source) stack->add(std::move(opened.source));
    stack->build();
    return std::make_unique<StackEntries>(std::move(stack), [](const std::string&) {});
}

NodeId FileNamed(const EffectiveEntries& entries, const std::string& path) {
    for (NodeId id = 0; id < entries.nodeCount(); ++id) {
        if (!entries.node(id).isFolder && entries.pathOf(id) == path) return id;
    }
    ADD_FAILURE() << path << " is not mounted";
    return EffectiveEntries::kRoot;
}

// The pieces of a damaged file: every whole piece before the damage, each the file's own
// bytes, then only failures, then nothing at the end.
void ExpectSoundPiecesThenEio(const std::vector<std::string>& pieces, const std::string& sound,
                              std::size_t piece) {
    std::string handedOut;
    std::size_t at = 0;
    for (; at + 1 < pieces.size() && pieces[at] != "error 5"; ++at) handedOut += pieces[at];
    EXPECT_EQ(handedOut.size(), sound.size() / piece * piece);
    EXPECT_TRUE(handedOut == sound.substr(0, handedOut.size())) << "bytes other than the entry's";
    EXPECT_LT(at + 1, pieces.size()) << "no failure";
    for (; at + 1 < pieces.size(); ++at) EXPECT_EQ(pieces[at], "error 5") << "piece " << at;
    EXPECT_EQ(pieces.back(), "end 0");
}

struct ReadPathCase {
    const char* name;
    bool raw;
    std::size_t piece;
};

class ReadPathTest : public testing::TestWithParam<ReadPathCase> {};

TEST_P(ReadPathTest, AnOpenFileAndTheNodeGiveTheSameBytesAndFailures) {
    test::TempDir dir;
    const std::unique_ptr<StackEntries> mounted = Mounted(dir, Entries());
    const StackEntries& entries = *mounted;
    MountLog log([](const std::string&) {});
    MountedFiles viaOpen(entries, {GetParam().raw, kMiB}, log);
    MountedFiles viaNode(entries, {GetParam().raw, kMiB}, log);
    const std::size_t piece = GetParam().piece;
    std::size_t files = 0;
    for (NodeId id = 0; id < entries.nodeCount(); ++id) {
        if (entries.node(id).isFolder) continue;
        ++files;
        SCOPED_TRACE(entries.pathOf(id));
        const std::unique_ptr<OpenFile> file = viaOpen.open(id);
        const auto byOpen =
            Pieces([&](std::uint64_t at, std::uint8_t* out) { return file->read(at, out, piece); },
                   piece, viaOpen.sizeOf(id));
        const auto byNode = Pieces(
            [&](std::uint64_t at, std::uint8_t* out) {
                ReadView view;
                const long got = viaNode.read(id, at, out, piece, view);
                if (got > 0 && view.data != out) std::memcpy(out, view.data, got);
                return got;
            },
            piece, viaNode.sizeOf(id));
        EXPECT_EQ(byOpen, byNode);
        const std::map<std::string, const std::string*> sound = {
            {"STORED.TXT", &Stored()}, {"SMALL.INT", &Small()}, {"LARGE.DAT", &Large()}};
        if (const auto known = sound.find(entries.pathOf(id));
            !GetParam().raw && known != sound.end()) {
            std::string whole;
            for (const std::string& p : byNode) whole += p;
            EXPECT_EQ(whole, *known->second + "end 0");
        }
        const std::map<std::string, std::string> soundBeforeDamage = {
            {"SMALLBAD.INT", Small().substr(0, kSmallBlock * (kSmallDamagedStart + 1))},
            {"LARGEBAD.DAT", Large().substr(0, kLargeBlock * (kLargeDamagedStart + 1))}};
        if (const auto damaged = soundBeforeDamage.find(entries.pathOf(id));
            !GetParam().raw && damaged != soundBeforeDamage.end()) {
            ExpectSoundPiecesThenEio(byNode, damaged->second, piece);
        }
    }
    EXPECT_EQ(files, Entries().size());
}

INSTANTIATE_TEST_SUITE_P(Pieces, ReadPathTest,
                         testing::Values(ReadPathCase{"UnpackedPagePieces", false, 4096},
                                         ReadPathCase{"UnpackedKernelPieces", false, 128 * 1024},
                                         ReadPathCase{"UnpackedOddPieces", false, 12'345},
                                         ReadPathCase{"RawKernelPieces", true, 128 * 1024}),
                         [](const auto& info) { return std::string(info.param.name); });

// The entries that every read of a file's content starts from, counted.
class CountedEntries final : public EffectiveEntries {
public:
    explicit CountedEntries(const EffectiveEntries& entries) : entries_(entries) {}

    std::size_t nodeCount() const override { return entries_.nodeCount(); }
    const EffectiveNode& node(NodeId id) const override { return entries_.node(id); }
    std::optional<NodeId> lookup(NodeId folder, std::string_view name) const override {
        return entries_.lookup(folder, name);
    }
    std::span<const NodeId> children(NodeId folder) const override {
        return entries_.children(folder);
    }
    std::string pathOf(NodeId id) const override { return entries_.pathOf(id); }
    std::string sourceOf(NodeId id) const override { return entries_.sourceOf(id); }
    StoredEntry openStored(NodeId id) const override {
        ++storedOpens;
        return entries_.openStored(id);
    }
    timespec modified(NodeId id) const override { return entries_.modified(id); }

    mutable std::atomic<int> storedOpens{0};

private:
    const EffectiveEntries& entries_;
};

// Reads at or past the end of a whole-unpacked file: its size answers them, and nothing is
// unpacked for them, damaged or not.
struct PastTheEndCase {
    const char* name;
    std::uint64_t beyond;  // bytes past the end
    bool byNode;           // or through an open file
};

class PastTheEndTest : public testing::TestWithParam<PastTheEndCase> {};

TEST_P(PastTheEndTest, ReadsNothingAndUnpacksNothing) {
    test::TempDir dir;
    const std::unique_ptr<StackEntries> mounted = Mounted(dir, Entries());
    const CountedEntries entries(*mounted);
    MountLog log([](const std::string&) {});
    MountedFiles files(entries, {false, kMiB}, log);
    for (const char* path : {"SMALL.INT", "SMALLBAD.INT"}) {
        SCOPED_TRACE(path);
        const NodeId id = FileNamed(entries, path);
        const std::uint64_t at = files.sizeOf(id) + GetParam().beyond;
        std::vector<std::uint8_t> out(4096);
        ReadView view;
        const long got = GetParam().byNode ? files.read(id, at, out.data(), out.size(), view)
                                           : files.open(id)->read(at, out.data(), out.size());
        EXPECT_EQ(got, 0);
    }
    EXPECT_EQ(entries.storedOpens, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, PastTheEndTest,
                         testing::Values(PastTheEndCase{"AtTheEndByNode", 0, true},
                                         PastTheEndCase{"FarPastTheEndByNode",
                                                        std::uint64_t{1} << 40, true},
                                         PastTheEndCase{"AtTheEndOpen", 0, false},
                                         PastTheEndCase{"OnePastTheEndOpen", 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A view handed out for a whole-unpacked file stays valid after the cache and the recent
// files have let the entry go: the reply may still be on its way to the kernel.
struct EvictedViewCase {
    const char* name;
    std::size_t cacheBytes;
    bool byOpenFile;  // the view taken through an open file, closed at once; or by node
};

class EvictedViewTest : public testing::TestWithParam<EvictedViewCase> {};

TEST_P(EvictedViewTest, KeepsItsBytes) {
    constexpr int kOthers = 17;  // more than RecentFiles keeps, and more than the cache holds
    std::vector<std::string> contents;
    std::vector<datwriter::Entry> written;
    for (int i = 0; i <= kOthers; ++i) {
        contents.push_back(test::SampleContent(5'000, 10 + i));
        written.push_back(
            Packed("F" + std::to_string(i) + ".INT", datwriter::Zlib(contents[i], 6), 5'000));
    }
    test::TempDir dir;
    const std::unique_ptr<StackEntries> entries = Mounted(dir, written);
    MountLog log([](const std::string&) {});
    MountedFiles files(*entries, {false, GetParam().cacheBytes}, log);
    std::vector<std::uint8_t> out(8192);
    ReadView view;
    long got = 0;
    if (GetParam().byOpenFile) {
        got = files.open(FileNamed(*entries, "F0.INT"))->view(0, out.data(), out.size(), view);
    } else {
        got = files.read(FileNamed(*entries, "F0.INT"), 0, out.data(), out.size(), view);
    }
    ASSERT_EQ(got, 5'000);
    ASSERT_NE(view.data, out.data());  // a view of the content itself, not a copy in `out`
    for (int i = 1; i <= kOthers; ++i) {
        ReadView other;
        const NodeId id = FileNamed(*entries, "F" + std::to_string(i) + ".INT");
        EXPECT_EQ(files.read(id, 0, out.data(), out.size(), other), 5'000);
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), 5'000), contents[0]);
}

INSTANTIATE_TEST_SUITE_P(Budgets, EvictedViewTest,
                         testing::Values(EvictedViewCase{"NothingCachedByNode", 1, false},
                                         EvictedViewCase{"EvictedByNode", 64 * 1024, false},
                                         EvictedViewCase{"EvictedAfterItsOpenFileClosed", 64 * 1024,
                                                         true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvix::mount
