// tarvix-mount as a user runs it: archives the test writes, mounted on a temporary folder and
// read through the file system.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dat_writer.h"
#include "mount_runner.h"
#include "support/temp_dir.h"
#include "zlib_samples.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kMiB = std::size_t{1} << 20;

// A file the mount shows: its entry and where and how it appears.
struct Shown {
    std::string entryName;  // Windows-1252, as in the archive
    std::string path;       // UTF-8, below the mount point
    std::string content;
    bool zlib = false;
    int level = 6;
};

const std::vector<Shown>& ShownFiles() {
    static const std::vector<Shown> files = {
        {"README.TXT", "README.TXT", "A demonstration archive.\n"},
        {"ART\\CRITTERS\\HMJMPSAA.FRM", "ART/CRITTERS/HMJMPSAA.FRM", SampleContent(20'000, 1), true,
         9},
        {"art\\critters\\HFJMPSAA.FRM", "ART/CRITTERS/HFJMPSAA.FRM", SampleContent(9'000, 2), true},
        {"TEXT\\ENGLISH\\DIALOG.MSG", "TEXT/ENGLISH/DIALOG.MSG", SampleContent(3 * kMiB, 3), true},
        {"SOUND\\MUSIC.ACM", "SOUND/MUSIC.ACM", SampleContent(4 * kMiB, 4), true},
        {"EMPTY.TXT", "EMPTY.TXT", ""},
        {"TEXT\\CAF\xC9.TXT", "TEXT/CAF\xC3\x89.TXT", "caf\xE9"},
        {"\\DATA\\\\DOUBLE.TXT", "DATA/DOUBLE.TXT", "two backslashes"},
        {"ART\\INTRFACE\\EXACT.FRM", "ART/INTRFACE/EXACT.FRM", SampleContent(kMiB, 5), true},
        {"ART\\INTRFACE\\OVER.FRM", "ART/INTRFACE/OVER.FRM", SampleContent(kMiB + 1, 6), true},
    };
    return files;
}

// Entries the mount reads as damaged, with where their content is sound up to.
struct Broken {
    std::string path;
    std::string content;
    std::size_t soundBytes;
};

struct TestArchive {
    TempDir dir;
    fs::path path;
    std::vector<Broken> broken;
};

datwriter::Entry EntryOf(const Shown& file) {
    if (!file.zlib) return datwriter::Make(file.entryName, file.content);
    datwriter::Entry entry =
        datwriter::Make(file.entryName, datwriter::Zlib(file.content, file.level));
    entry.realSize = static_cast<std::uint32_t>(file.content.size());
    entry.type = 1;
    return entry;
}

datwriter::Entry Packed(const std::string& name, const std::string& stored, std::size_t realSize) {
    datwriter::Entry entry = datwriter::Make(name, stored);
    entry.realSize = static_cast<std::uint32_t>(realSize);
    entry.type = 1;
    return entry;
}

void Build(TestArchive& made) {
    {
        std::vector<datwriter::Entry> entries;
        for (const Shown& file : ShownFiles()) entries.push_back(EntryOf(file));
        entries.push_back(datwriter::Make("readme.txt", "a copy that the first hides"));
        entries.push_back(datwriter::Make("..\\EVIL.TXT", "outside"));

        std::vector<std::size_t> starts;
        const std::string small = SampleContent(16'000, 8);
        const std::string smallStream = ZlibWithBlockStarts(small, 4'000, starts);
        entries.push_back(
            Packed("BROKEN\\SMALL.INT", WithInvalidBlock(smallStream, starts[1]), small.size()));
        made.broken.push_back({"BROKEN/SMALL.INT", small, 8'000});
        starts.clear();
        const std::string large = SampleContent(2 * kMiB + kMiB / 2, 9);
        const std::string largeStream = ZlibWithBlockStarts(large, 500'000, starts);
        entries.push_back(
            Packed("BROKEN\\LARGE.DAT", WithInvalidBlock(largeStream, starts[2]), large.size()));
        made.broken.push_back({"BROKEN/LARGE.DAT", large, 1'500'000});
        const std::string summed = SampleContent(2 * kMiB, 10);
        std::string summedStream = datwriter::Zlib(summed, 6);
        summedStream.back() = static_cast<char>(summedStream.back() ^ 1);
        entries.push_back(Packed("BROKEN\\CHECKSUM.DAT", summedStream, summed.size()));
        made.broken.push_back({"BROKEN/CHECKSUM.DAT", summed, summed.size() - 1});
        datwriter::Entry unknown = datwriter::Make("BROKEN\\UNKNOWN.BIN", "????");
        unknown.type = 7;
        entries.push_back(unknown);
        made.broken.push_back({"BROKEN/UNKNOWN.BIN", "????", 0});

        made.path = made.dir.write("test.dat", datwriter::BuildDat(entries));
    }
}

const TestArchive& TheArchive() {
    static TestArchive archive;
    static const bool built = (Build(archive), true);
    (void)built;
    return archive;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return text;
}
std::string AsciiLower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return text;
}

class MountTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string reason = FuseUnavailableReason();
        if (!reason.empty()) GTEST_SKIP() << reason;
        mountWith({});
    }

    void mountWith(std::vector<std::string> args) {
        program_.reset();
        args.push_back(TheArchive().path.string());
        fs::create_directories(mountPoint_);
        program_ = std::make_unique<MountedProgram>(args, mountPoint_, dir_ / "log");
        ASSERT_TRUE(program_->mounted()) << program_->log();
    }

    fs::path at(const std::string& path) const { return mountPoint_ / PathFromText(path); }
    static fs::path PathFromText(const std::string& utf8) {
        return fs::path(std::u8string(utf8.begin(), utf8.end()));
    }

    TempDir dir_;
    fs::path mountPoint_ = dir_ / "mnt";
    std::unique_ptr<MountedProgram> program_;  // after dir_: unmounted before it is removed
};

TEST_F(MountTest, EveryFileReadsAsItsContentWhateverTheCaseOfItsPath) {
    for (const Shown& file : ShownFiles()) {
        for (const std::string& spelling :
             {file.path, AsciiLower(file.path), AsciiUpper(file.path)}) {
            int error = 0;
            const std::string got = ReadWhole(at(spelling), error);
            EXPECT_EQ(error, 0) << spelling;
            EXPECT_TRUE(got == file.content) << spelling << ": " << got.size() << " bytes";
        }
    }
}

TEST_F(MountTest, StatShowsRealSizesReadOnlyModesTheOwnerAndTheArchiveTime) {
    struct stat archive {};
    ASSERT_EQ(::stat(TheArchive().path.c_str(), &archive), 0);
    for (const Shown& file : ShownFiles()) {
        struct stat st {};
        ASSERT_EQ(::stat(at(file.path).c_str(), &st), 0) << file.path;
        EXPECT_EQ(static_cast<std::size_t>(st.st_size), file.content.size()) << file.path;
        EXPECT_EQ(st.st_mode, S_IFREG | 0444) << file.path;
        EXPECT_EQ(st.st_uid, ::getuid());
        EXPECT_EQ(st.st_gid, ::getgid());
        EXPECT_EQ(st.st_mtim.tv_sec, archive.st_mtim.tv_sec);
        EXPECT_EQ(st.st_mtim.tv_nsec, archive.st_mtim.tv_nsec);
    }
    struct stat folder {};
    ASSERT_EQ(::stat(at("ART/CRITTERS").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode, S_IFDIR | 0555);
}

TEST_F(MountTest, EveryFolderListsEachNameOnceAndHidesWhatExtractionRefuses) {
    const std::map<std::string, std::vector<std::string>> expected = {
        {"", {"ART", "BROKEN", "DATA", "EMPTY.TXT", "README.TXT", "SOUND", "TEXT"}},
        {"ART", {"CRITTERS", "INTRFACE"}},
        {"ART/CRITTERS", {"HFJMPSAA.FRM", "HMJMPSAA.FRM"}},
        {"ART/INTRFACE", {"EXACT.FRM", "OVER.FRM"}},
        {"BROKEN", {"CHECKSUM.DAT", "LARGE.DAT", "SMALL.INT", "UNKNOWN.BIN"}},
        {"DATA", {"DOUBLE.TXT"}},
        {"SOUND", {"MUSIC.ACM"}},
        {"TEXT", {"CAF\xC3\x89.TXT", "ENGLISH"}},
        {"TEXT/ENGLISH", {"DIALOG.MSG"}},
    };
    std::map<std::string, std::vector<std::string>> listed;
    listed[""];
    for (auto it = fs::recursive_directory_iterator(mountPoint_);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::u8string parent =
            it->path().parent_path().lexically_relative(mountPoint_).u8string();
        std::string folder(parent.begin(), parent.end());
        if (folder == ".") folder.clear();
        const std::u8string name = it->path().filename().u8string();
        listed[folder].emplace_back(name.begin(), name.end());
        if (it->is_directory())
            listed[std::string(folder.empty() ? "" : folder + "/") +
                   std::string(name.begin(), name.end())];
    }
    for (auto& [folder, names] : listed) std::sort(names.begin(), names.end());
    EXPECT_EQ(listed, expected);
    const std::string log = program_->log();
    EXPECT_NE(log.find("readme.txt: not shown"), std::string::npos) << log;
    EXPECT_NE(log.find("..\\EVIL.TXT: not shown: Unsafe name component \"..\""), std::string::npos)
        << log;
}

struct WriteCase {
    const char* name;
    std::function<int(const fs::path& mnt)> attempt;  // 0 on success, else errno
};

int Errno(int result) {
    return result == 0 ? 0 : errno;
}
int OpenErrno(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    return errno;
}

const std::vector<WriteCase>& WriteCases() {
    static const std::vector<WriteCase> cases = {
        {"OpenForWriting", [](const fs::path& m) { return OpenErrno(m / "README.TXT", O_WRONLY); }},
        {"OpenForBoth", [](const fs::path& m) { return OpenErrno(m / "README.TXT", O_RDWR); }},
        {"Truncate",
         [](const fs::path& m) { return Errno(::truncate((m / "README.TXT").c_str(), 0)); }},
        {"Create", [](const fs::path& m) { return OpenErrno(m / "NEW.TXT", O_WRONLY | O_CREAT); }},
        {"MakeFolder", [](const fs::path& m) { return Errno(::mkdir((m / "NEW").c_str(), 0755)); }},
        {"Delete", [](const fs::path& m) { return Errno(::unlink((m / "README.TXT").c_str())); }},
        {"DeleteFolder", [](const fs::path& m) { return Errno(::rmdir((m / "DATA").c_str())); }},
        {"Rename",
         [](const fs::path& m) {
             return Errno(::rename((m / "README.TXT").c_str(), (m / "X.TXT").c_str()));
         }},
        {"Chmod",
         [](const fs::path& m) { return Errno(::chmod((m / "README.TXT").c_str(), 0666)); }},
        {"Symlink",
         [](const fs::path& m) { return Errno(::symlink("README.TXT", (m / "LINK").c_str())); }},
    };
    return cases;
}

TEST_F(MountTest, EveryChangeFailsAsReadOnly) {
    for (const WriteCase& c : WriteCases()) EXPECT_EQ(c.attempt(mountPoint_), EROFS) << c.name;
    int error = 0;
    EXPECT_EQ(ReadWhole(at("README.TXT"), error), ShownFiles()[0].content);
}

TEST_F(MountTest, DamagedEntriesFailWithEioAndNeverGiveWrongBytes) {
    for (const Broken& file : TheArchive().broken) {
        for (int pass = 0; pass < 2; ++pass) {
            const int fd = ::open(at(file.path).c_str(), O_RDONLY);
            ASSERT_GE(fd, 0) << file.path;
            std::string buffer(4096, '\0');
            std::size_t at = 0;
            int error = 0;
            for (;;) {
                const ssize_t got =
                    ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
                if (got < 0) error = errno;
                if (got <= 0) break;
                ASSERT_EQ(buffer.substr(0, static_cast<std::size_t>(got)),
                          file.content.substr(at, static_cast<std::size_t>(got)))
                    << file.path << " at " << at;
                at += static_cast<std::size_t>(got);
            }
            ::close(fd);
            EXPECT_EQ(error, EIO) << file.path;
            EXPECT_LE(at, file.soundBytes) << file.path;
        }
    }
    // Each damaged entry is told of once, however often it is read.
    const std::string log = program_->log();
    for (const Broken& file : TheArchive().broken) {
        std::string name = file.path;
        std::replace(name.begin(), name.end(), '/', '\\');
        const auto first = log.find(name + ": ");
        EXPECT_NE(first, std::string::npos) << log;
        EXPECT_EQ(log.find(name + ": ", first + 1), std::string::npos) << log;
    }
    EXPECT_NE(log.find("BROKEN\\UNKNOWN.BIN: Unknown packing (Type 7)"), std::string::npos) << log;
    EXPECT_NE(log.find("BROKEN\\LARGE.DAT: Packed data is damaged"), std::string::npos) << log;
}

TEST_F(MountTest, ReadsAtRandomOffsetsOfALargeEntryGiveItsBytes) {
    const Shown& file = ShownFiles()[3];
    ASSERT_GT(file.content.size(), 2 * kMiB);
    const int fd = ::open(at(file.path).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::mt19937 random(25);
    std::string buffer(100'000, '\0');
    for (int i = 0; i < 200; ++i) {
        const std::size_t offset = random() % file.content.size();
        const std::size_t size = 1 + random() % buffer.size();
        const ssize_t got = ::pread(fd, buffer.data(), size, static_cast<off_t>(offset));
        ASSERT_EQ(static_cast<std::size_t>(got), std::min(size, file.content.size() - offset));
        ASSERT_TRUE(buffer.compare(0, static_cast<std::size_t>(got), file.content, offset,
                                   static_cast<std::size_t>(got)) == 0)
            << "at " << offset;
    }
    ::close(fd);
}

TEST_F(MountTest, TwoThreadsReadDifferentFilesAtOnce) {
    const std::vector<const Shown*> files = {&ShownFiles()[3], &ShownFiles()[4]};
    std::vector<std::string> got(files.size());
    std::vector<int> errors(files.size());
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < files.size(); ++i)
        readers.emplace_back([&, i] { got[i] = ReadWhole(at(files[i]->path), errors[i]); });
    for (std::thread& reader : readers) reader.join();
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(errors[i], 0);
        EXPECT_TRUE(got[i] == files[i]->content) << files[i]->path;
    }
}

TEST_F(MountTest, RawShowsStoredBytesNamedAsRawExtractionNamesThem) {
    mountWith({"--raw"});
    const Shown& best = ShownFiles()[1];  // level 9: begins 78 DA
    const std::string stored = datwriter::Zlib(best.content, 9);
    const std::string gzip = std::string("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03", 10) +
                             "HMJMPSAA.FRM" + std::string(1, '\0') + stored.substr(2);
    int error = 0;
    EXPECT_TRUE(ReadWhole(at("ART/CRITTERS/HMJMPSAA.FRM.gz"), error) == gzip);
    EXPECT_TRUE(ReadWhole(at("art/critters/hmjmpsaa.frm.GZ"), error) == gzip);
    EXPECT_EQ(fs::file_size(at("ART/CRITTERS/HMJMPSAA.FRM.gz")), gzip.size());
    EXPECT_FALSE(fs::exists(at("ART/CRITTERS/HMJMPSAA.FRM")));
    const Shown& level6 = ShownFiles()[2];  // 78 9C: as stored, under its own name
    EXPECT_TRUE(ReadWhole(at(level6.path), error) == datwriter::Zlib(level6.content, 6));
    EXPECT_EQ(ReadWhole(at("README.TXT"), error), ShownFiles()[0].content);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(at("ART/CRITTERS")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"HFJMPSAA.FRM", "HMJMPSAA.FRM.gz"}));
}

struct StopCase {
    const char* name;
    MountedProgram::Stop how;
};

class UnmountTest : public testing::TestWithParam<StopCase> {};

TEST_P(UnmountTest, LeavesNothingMountedAndEndsTheProgram) {
    const std::string reason = FuseUnavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    const TempDir dir;
    const fs::path mountPoint = dir / "mnt";
    fs::create_directories(mountPoint);
    MountedProgram program({TheArchive().path.string()}, mountPoint, dir / "log");
    ASSERT_TRUE(program.mounted()) << program.log();
    EXPECT_TRUE(IsMountPoint(mountPoint));
    EXPECT_EQ(program.stop(GetParam().how), 0) << program.log();
    EXPECT_FALSE(IsMountPoint(mountPoint));
}

INSTANTIATE_TEST_SUITE_P(Ways, UnmountTest,
                         testing::Values(StopCase{"Fusermount", MountedProgram::Stop::Fusermount},
                                         StopCase{"Sigterm", MountedProgram::Stop::Terminate},
                                         StopCase{"CtrlC", MountedProgram::Stop::Interrupt}),
                         [](const auto& info) { return info.param.name; });

struct RefusalCase {
    const char* name;
    std::string bytes;
    std::string message;
};

class RefusedArchiveTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedArchiveTest, SaysWhyAndMountsNothing) {
    const TempDir dir;
    const fs::path mountPoint = dir / "mnt";
    fs::create_directories(mountPoint);
    const fs::path archive = dir.write("bad.dat", GetParam().bytes);
    MountedProgram program({archive.string()}, mountPoint, dir / "log");
    EXPECT_FALSE(program.mounted());
    EXPECT_FALSE(IsMountPoint(mountPoint));
    EXPECT_NE(program.log().find(GetParam().message), std::string::npos) << program.log();
}

INSTANTIATE_TEST_SUITE_P(
    Archives, RefusedArchiveTest,
    testing::Values(
        RefusalCase{"TooShort", "abc",
                    "bad.dat: Not a valid DAT file (the file is shorter than its 8-byte trailer)"},
        RefusalCase{"WrongDataSize", std::string(12, '\x01'),
                    "bad.dat: Not a valid DAT file (DataSize does not match real file size)"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::test
