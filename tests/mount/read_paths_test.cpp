// The two ways the mount reads a file: through an open file (where the kernel opens files) and
// by node alone (where it does not), the second answering whole-unpacked files from their
// cached content in place. Both must give the same bytes and the same failures, piece by piece.
#include <gtest/gtest.h>

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

// Stored, whole-unpacked, streamed, damaged in either, and of an unknown packing.
std::vector<datwriter::Entry> Entries() {
    const std::string& small = Small();
    const std::string& large = Large();
    std::vector<std::size_t> starts;
    const std::string smallStream = test::ZlibWithBlockStarts(small, 10'000, starts);
    const std::string smallBroken = test::WithInvalidBlock(smallStream, starts[1]);
    starts.clear();
    const std::string largeStream = test::ZlibWithBlockStarts(large, 300'000, starts);
    const std::string largeBroken = test::WithInvalidBlock(largeStream, starts[2]);
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

struct ReadPathCase {
    const char* name;
    bool raw;
    std::size_t piece;
};

class ReadPathTest : public testing::TestWithParam<ReadPathCase> {};

TEST_P(ReadPathTest, AnOpenFileAndTheNodeGiveTheSameBytesAndFailures) {
    test::TempDir dir;
    const auto path = dir.write("paths.dat", datwriter::BuildDat(Entries()));
    StackSource::Opened opened = StackSource::Open(path, "paths.dat");
    ASSERT_TRUE(opened.source) << opened.error;
    auto stack = std::make_unique<SourceStack>();
    stack->add(std::move(opened.source));
    stack->build();
    const StackEntries entries(std::move(stack), [](const std::string&) {});
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
    }
    EXPECT_EQ(files, Entries().size());
}

INSTANTIATE_TEST_SUITE_P(Pieces, ReadPathTest,
                         testing::Values(ReadPathCase{"UnpackedPagePieces", false, 4096},
                                         ReadPathCase{"UnpackedKernelPieces", false, 128 * 1024},
                                         ReadPathCase{"UnpackedOddPieces", false, 12'345},
                                         ReadPathCase{"RawKernelPieces", true, 128 * 1024}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvix::mount
