// What the kernel is answered when it opens, reads and closes a file of the mount, without
// FUSE: the handle it keeps, and reads through that handle against reads by node alone.
#include "mount/file_handles.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "archive/source_stack.h"
#include "archive/stack_source.h"
#include "dat_writer.h"
#include "mount/stack_entries.h"
#include "support/temp_dir.h"
#include "zlib_samples.h"

namespace tarvix::mount {
namespace {

const std::string& Text() {
    static const std::string content = test::SampleContent(30'000, 4);
    return content;
}

// A stored file, a whole-unpacked one and a damaged one, in a folder.
std::vector<datwriter::Entry> Entries() {
    datwriter::Entry packed = datwriter::Make("DIR\\PACKED.INT", datwriter::Zlib(Text(), 6));
    packed.realSize = static_cast<std::uint32_t>(Text().size());
    packed.type = 1;
    datwriter::Entry damaged = packed;
    damaged.name = "DIR\\DAMAGED.INT";
    damaged.data[damaged.data.size() / 2] ^= 0x55;
    return {datwriter::Make("DIR\\STORED.TXT", Text()), packed, damaged};
}

// Every piece of file `id`, read through `handle` (or by node, with 0): its bytes, or the
// error, then what a read at the end gives.
std::vector<std::string> Pieces(MountedFiles& files, std::uint64_t handle, NodeId id) {
    std::vector<std::string> pieces;
    std::vector<std::uint8_t> out(4096);
    const std::uint64_t size = files.sizeOf(id);
    for (std::uint64_t at = 0; at <= size; at += out.size()) {
        ReadView view;
        const long got = ReadThrough(files, handle, id, at, out.data(), out.size(), view);
        pieces.push_back(got < 0 ? "error " + std::to_string(-got)
                                 : std::string(reinterpret_cast<const char*>(view.data),
                                               static_cast<std::size_t>(got)));
    }
    return pieces;
}

struct OpenCase {
    const char* name;
    const char* path;
    int flags;
    bool byNodeOnly;
    int error;           // 0: a handle is handed out
    bool fails = false;  // whether a read of the file fails
};

const OpenCase kOpenCases[] = {
    {"StoredForReading", "DIR\\STORED.TXT", O_RDONLY, false, 0},
    {"PackedForReading", "DIR\\PACKED.INT", O_RDONLY | O_NONBLOCK | O_NOFOLLOW, false, 0},
    {"DamagedForReading", "DIR\\DAMAGED.INT", O_RDONLY, false, 0, true},
    {"ForWriting", "DIR\\STORED.TXT", O_WRONLY, false, EROFS},
    {"ForReadingAndWriting", "DIR\\PACKED.INT", O_RDWR, false, EROFS},
    {"Truncating", "DIR\\STORED.TXT", O_RDONLY | O_TRUNC, false, EROFS},
    {"AFolder", "DIR", O_RDONLY, false, EISDIR},
    {"WhereTheKernelReadsByNode", "DIR\\PACKED.INT", O_RDONLY, true, ENOSYS},
    {"ForWritingWhereTheKernelReadsByNode", "DIR\\PACKED.INT", O_WRONLY, true, EROFS},
};

class FileHandleTest : public testing::TestWithParam<OpenCase> {};

TEST_P(FileHandleTest, OpensAsTheMountAllowsAndReadsAsByNode) {
    const OpenCase& c = GetParam();
    test::TempDir dir;
    StackSource::Opened opened =
        StackSource::Open(dir.write("h.dat", datwriter::BuildDat(Entries())), "h.dat");
    ASSERT_TRUE(opened.source) << opened.error;
    auto stack = std::make_unique<SourceStack>();
    stack->add(std::move(opened.source));
    stack->build();
    const StackEntries entries(std::move(stack), [](const std::string&) {});
    MountLog log([](const std::string&) {});
    MountedFiles files(entries, {}, log);
    NodeId id = EffectiveEntries::kRoot;
    for (NodeId n = 0; n < entries.nodeCount(); ++n) {
        if (entries.pathOf(n) == c.path) id = n;
    }
    ASSERT_NE(id, EffectiveEntries::kRoot);

    const OpenAnswer answer = OpenHandle(files, id, c.flags, c.byNodeOnly);
    EXPECT_EQ(answer.error, c.error);
    EXPECT_EQ(answer.handle != 0, c.error == 0);
    if (answer.handle == 0) return;
    const std::vector<std::string> byNode = Pieces(files, 0, id);
    EXPECT_EQ(Pieces(files, answer.handle, id), byNode);
    EXPECT_EQ(byNode.back() == "error 5", c.fails);
    ReleaseHandle(answer.handle);  // a handle never given back would leak its file
}

INSTANTIATE_TEST_SUITE_P(Opens, FileHandleTest, testing::ValuesIn(kOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvix::mount
