// tarvix-mount over what is not one Fallout 2 archive: a Fallout 1 archive with LZSS entries,
// a stack of an archive of each kind and a folder, and a game folder; each mounted for real.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "lzss_encoder.h"
#include "mount_runner.h"
#include "support/temp_dir.h"
#include "zlib_samples.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kBlockContent = 16384;

std::string Lower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return text;
}

// Every name in `folder`, sorted.
std::vector<std::string> Listed(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MountedSourcesTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string reason = FuseUnavailableReason();
        if (!reason.empty()) GTEST_SKIP() << reason;
    }
    void mount(const std::vector<std::string>& args) {
        fs::create_directories(mountPoint_);
        program_ = std::make_unique<MountedProgram>(args, mountPoint_, dir_ / "log");
        ASSERT_TRUE(program_->mounted()) << program_->log();
    }

    TempDir dir_;
    fs::path mountPoint_ = dir_ / "mnt";
    std::unique_ptr<MountedProgram> program_;  // after dir_: unmounted before it is removed
};

// A Fallout 1 archive's file as the mount shows it.
struct Dat1Shown {
    const char* path;  // below the mount point
    std::string content;
    std::uint32_t attributes;
    std::size_t soundBytes = std::string::npos;  // damaged: the bytes a reader may get
};

std::string Blocks(const std::string& content) {
    return datwriter::LzssBlocks(content, {.blockContent = kBlockContent});
}

datwriter::Dat1File Dat1Entry(const std::string& name, const Dat1Shown& shown) {
    datwriter::Dat1File file;
    file.name = name;
    file.attributes = shown.attributes;
    switch (shown.attributes) {
        case 0x40:
            file.data = Blocks(shown.content);
            break;
        case 0x10:
            file.data = datwriter::LzssEncode(shown.content);
            break;
        default:
            file.data = shown.content;
    }
    if (shown.attributes != 0x20) file.size = static_cast<std::uint32_t>(shown.content.size());
    return file;
}

const std::vector<Dat1Shown>& Dat1Files() {
    static const std::vector<Dat1Shown> files = {
        {"README.TXT", "A Fallout 1 archive.\n", 0x20},
        {"ART/CRITTERS/STORED.FRM", SampleContent(5'000, 1), 0x20},
        {"ART/CRITTERS/BLOCKS.FRM", SampleContent(40'000, 2), 0x40},
        {"ART/CRITTERS/STREAM.FRM", SampleContent(9'000, 3), 0x10},
        {"SOUND/BLOCKS.ACM", SampleContent(3 * kMiB, 4), 0x40},
        {"SOUND/STREAM.ACM", SampleContent(3 * kMiB + 7, 5), 0x10},
    };
    return files;
}

// Damaged entries: where they break, and the bytes before.
const std::vector<Dat1Shown>& Dat1Broken() {
    static const std::vector<Dat1Shown> files = {
        {"BROKEN/MATCH.INT", SampleContent(20'000, 6), 0x10, 20'000 - 1},
        {"BROKEN/HEADER.DAT", SampleContent(2 * kMiB, 7), 0x40, 40 * kBlockContent},
        {"BROKEN/CUT.FRM", SampleContent(40'000, 11), 0x40, kBlockContent},
    };
    return files;
}

// Block 1 of `content` as literals, its last flag bit flipped: the block's last item is then a
// match cut short, found only once the whole block has been decoded.
std::string SecondBlockCutShort(const std::string& content) {
    std::string literals;
    for (std::size_t at = 0; at < kBlockContent; at += 8) {
        literals.push_back(at + 8 < kBlockContent ? '\xFF' : '\x7F');
        literals.append(content, kBlockContent + at, 8);
    }
    const std::string first = Blocks(content.substr(0, kBlockContent));
    const std::string rest = Blocks(content.substr(2 * kBlockContent));
    return first + static_cast<char>(literals.size() >> 8) +
           static_cast<char>(literals.size() & 0xFF) + literals + rest;
}

fs::path BuildDat1(const TempDir& dir) {
    std::map<std::string, std::vector<datwriter::Dat1File>> folders;
    const auto add = [&](const Dat1Shown& shown) {
        const std::string path = shown.path;
        const auto slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        std::replace(folder.begin(), folder.end(), '/', '\\');
        folders[folder].push_back(Dat1Entry(path.substr(slash + 1), shown));
    };
    for (const Dat1Shown& file : Dat1Files()) add(file);
    for (const Dat1Shown& file : Dat1Broken()) add(file);
    // The first ends inside a match; the second has a 0 header before its last block.
    folders["BROKEN"][0].data += std::string("\x00\x01", 2);
    std::string& blocks = folders["BROKEN"][1].data;
    std::size_t at = 0;
    for (int block = 0; block < 40; ++block)
        at += 2 + ((static_cast<unsigned char>(blocks[at]) << 8 |
                    static_cast<unsigned char>(blocks[at + 1])) &
                   0x7FFF);
    blocks[at] = blocks[at + 1] = '\0';
    folders["BROKEN"][2].data = SecondBlockCutShort(Dat1Broken()[2].content);
    std::vector<datwriter::Dat1Directory> directories;
    for (auto& [name, files] : folders) directories.push_back({name, std::move(files)});
    return dir.write("fallout1.dat", datwriter::BuildDat1(directories));
}

TEST_F(MountedSourcesTest, Dat1FilesReadAsTheirContentWhateverTheirPacking) {
    mount({BuildDat1(dir_).string()});
    for (const Dat1Shown& file : Dat1Files()) {
        for (const std::string& spelling : {std::string(file.path), Lower(file.path)}) {
            int error = 0;
            const std::string got = ReadWhole(mountPoint_ / spelling, error);
            EXPECT_EQ(error, 0) << spelling;
            EXPECT_TRUE(got == file.content) << spelling << ": " << got.size() << " bytes";
        }
        EXPECT_EQ(fs::file_size(mountPoint_ / file.path), file.content.size()) << file.path;
    }
    EXPECT_EQ(Listed(mountPoint_ / "ART/CRITTERS"),
              (std::vector<std::string>{"BLOCKS.FRM", "STORED.FRM", "STREAM.FRM"}));
}

TEST_F(MountedSourcesTest, DamagedLzssReadsAsEioAfterTheSoundBytesAndIsToldOnce) {
    const std::string source = BuildDat1(dir_).string();
    mount({source});
    for (const Dat1Shown& file : Dat1Broken()) {
        for (int pass = 0; pass < 2; ++pass) {
            int error = 0;
            const std::string got = ReadWhole(mountPoint_ / file.path, error);
            EXPECT_EQ(error, EIO) << file.path;
            EXPECT_LE(got.size(), file.soundBytes) << file.path;
            EXPECT_TRUE(got == file.content.substr(0, got.size())) << file.path;
        }
        std::string name = file.path;
        std::replace(name.begin(), name.end(), '/', '\\');
        const std::string log = program_->log();
        const std::string told = source + ": " + name + ": Packed data is damaged";
        const auto first = log.find(told);
        EXPECT_NE(first, std::string::npos) << log;
        EXPECT_EQ(log.find(name + ": ", first + told.size()), std::string::npos) << log;
    }
}

// A folder's file changed after the mount listed it: only the file listed is read.
struct ChangeCase {
    const char* name;
    void (*change)(const fs::path& file);
    bool readable;
};

class FolderFileChangeTest : public MountedSourcesTest,
                             public testing::WithParamInterface<ChangeCase> {};

TEST_P(FolderFileChangeTest, AChangedFileReadsAsEioAndIsTold) {
    fs::create_directories(dir_ / "data");
    const fs::path file = dir_.write("data/notes.txt", "as listed");
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    mount({(dir_ / "data").string()});
    GetParam().change(file);
    int error = 0;
    const std::string got = ReadWhole(mountPoint_ / "notes.txt", error);
    EXPECT_EQ(error, GetParam().readable ? 0 : EIO);
    EXPECT_EQ(got, GetParam().readable ? "as listed" : "");
    const bool told =
        program_->log().find("notes.txt: changed since it was mounted") != std::string::npos;
    EXPECT_EQ(told, !GetParam().readable) << program_->log();
}

INSTANTIATE_TEST_SUITE_P(
    Changes, FolderFileChangeTest,
    testing::Values(ChangeCase{"Unchanged", [](const fs::path&) {}, true},
                    ChangeCase{"Grown",
                               [](const fs::path& f) { std::ofstream(f, std::ios::app) << "!"; },
                               false},
                    ChangeCase{"RewrittenSameSize",
                               [](const fs::path& f) { std::ofstream(f) << "as LISTED"; }, false},
                    ChangeCase{"Touched",
                               [](const fs::path& f) {
                                   fs::last_write_time(f, fs::file_time_type::clock::now());
                               },
                               false}),
    [](const auto& info) { return info.param.name; });

// The same path in three sources, spelled three ways.
struct StackCase {
    const char* name;
    std::vector<const char*> order;  // "folder", "dat2", "dat1"
    const char* content;             // the winner's
    std::vector<std::string> top;    // the top folder's names
    std::vector<std::string> critters;
};

const std::map<std::string, std::string>& SameContent() {
    static const std::map<std::string, std::string> content = {
        {"folder", "from the folder"},
        {"dat2", SampleContent(30'000, 8)},
        {"dat1", SampleContent(50'000, 9)},
    };
    return content;
}

std::map<std::string, fs::path> BuildSources(const TempDir& dir) {
    const fs::path folder = dir / "data";
    fs::create_directories(folder / "Art" / "Critters");
    fs::create_directories(folder / "Text");
    dir.write("data/Art/Critters/Same.frm", SameContent().at("folder"));
    dir.write("data/Art/Critters/Loose.txt", "only in the folder");
    dir.write("data/Text/Mixed.Txt", "mixed case on disk");

    datwriter::Entry same =
        datwriter::Make("ART\\CRITTERS\\SAME.FRM", datwriter::Zlib(SameContent().at("dat2"), 9));
    same.type = 1;
    same.realSize = static_cast<std::uint32_t>(SameContent().at("dat2").size());
    const fs::path dat2 = dir.write(
        "patch.dat", datwriter::BuildDat({same, datwriter::Make("ART\\CRITTERS\\PATCH.FRM", "p")}));

    datwriter::Dat1File lzss = datwriter::Dat1Packed("same.frm", SameContent().at("dat1"));
    const fs::path dat1 = dir.write(
        "master.dat", datwriter::BuildDat1(
                          {{"art\\critters", {lzss, datwriter::Dat1Stored("master.frm", "m")}}}));
    // Each source its own time, so that a file's shows which one it came from.
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(folder / "Art/Critters/Same.frm", now - std::chrono::hours(1));
    fs::last_write_time(dat2, now - std::chrono::hours(2));
    fs::last_write_time(dat1, now - std::chrono::hours(3));
    return {{"folder", folder}, {"dat2", dat2}, {"dat1", dat1}};
}

class MountedStackTest : public MountedSourcesTest,
                         public testing::WithParamInterface<StackCase> {};

TEST_P(MountedStackTest, TheFirstSourceWinsWithItsBytesSpellingAndTime) {
    const StackCase& c = GetParam();
    const std::map<std::string, fs::path> sources = BuildSources(dir_);
    std::vector<std::string> args;
    for (const char* source : c.order) args.push_back(sources.at(source).string());
    mount(args);
    for (const char* spelling : {"art/critters/same.frm", "ART/CRITTERS/SAME.FRM"}) {
        int error = 0;
        EXPECT_TRUE(ReadWhole(mountPoint_ / spelling, error) == SameContent().at(c.content))
            << spelling;
        EXPECT_EQ(error, 0);
    }
    EXPECT_EQ(Listed(mountPoint_), c.top);
    EXPECT_EQ(Listed(mountPoint_ / "art/critters"), c.critters);
    int error = 0;
    EXPECT_EQ(ReadWhole(mountPoint_ / "TEXT/MIXED.TXT", error), "mixed case on disk");
    EXPECT_EQ(ReadWhole(mountPoint_ / "art/critters/loose.txt", error), "only in the folder");

    const std::string winner = c.content;
    const fs::path timeOf =
        winner == "folder" ? sources.at("folder") / "Art/Critters/Same.frm" : sources.at(winner);
    struct stat expected {};
    struct stat shown {};
    ASSERT_EQ(::stat(timeOf.c_str(), &expected), 0);
    ASSERT_EQ(::stat((mountPoint_ / "art/critters/same.frm").c_str(), &shown), 0);
    EXPECT_EQ(shown.st_mtim.tv_sec, expected.st_mtim.tv_sec);
    EXPECT_EQ(shown.st_size, static_cast<off_t>(SameContent().at(c.content).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, MountedStackTest,
    testing::Values(StackCase{"FolderFirst",
                              {"folder", "dat2", "dat1"},
                              "folder",
                              {"Art", "Text"},
                              {"Loose.txt", "PATCH.FRM", "Same.frm", "master.frm"}},
                    StackCase{"Dat2First",
                              {"dat2", "folder", "dat1"},
                              "dat2",
                              {"ART", "Text"},
                              {"Loose.txt", "PATCH.FRM", "SAME.FRM", "master.frm"}},
                    StackCase{"Dat1First",
                              {"dat1", "dat2", "folder"},
                              "dat1",
                              {"Text", "art"},
                              {"Loose.txt", "PATCH.FRM", "master.frm", "same.frm"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(MountedSourcesTest, GameFolderMountsTheGamesOwnStackAndNotesWhatIsMissing) {
    const fs::path game = dir_ / "Fallout 2";
    fs::create_directories(game);
    for (const auto& [name, path] : BuildSources(dir_))
        fs::rename(path, game / (name == "dat1"   ? "MASTER.DAT"
                                 : name == "dat2" ? "patch000.dat"
                                                  : "data"));
    const std::string config =
        "[sound]\nmusic_path1=sound\\music\\\n[system]\r\n  master_dat = master.dat\r\n"
        "critter_dat=critter.dat\nmaster_patches=data\ncritter_patches = data\nlanguage=english\n";
    std::ofstream(game / "fallout2.cfg") << config;
    mount({"--game", game.string()});
    int error = 0;
    EXPECT_TRUE(ReadWhole(mountPoint_ / "art/critters/same.frm", error) ==
                SameContent().at("dat2"));
    EXPECT_EQ(ReadWhole(mountPoint_ / "ART/CRITTERS/LOOSE.TXT", error), "only in the folder");
    EXPECT_EQ(ReadWhole(mountPoint_ / "Art/Critters/Master.frm", error), "m");
    EXPECT_EQ(Listed(mountPoint_ / "art/critters"),
              (std::vector<std::string>{"Loose.txt", "PATCH.FRM", "SAME.FRM", "master.frm"}));
    const std::string log = program_->log();
    EXPECT_NE(log.find("tarvix-mount: note: " + (game / "critter.dat").string() +
                       " is missing; left out"),
              std::string::npos)
        << log;
}

TEST_F(MountedSourcesTest, GameFolderWithoutItsSourcesMountsAnEmptyFolder) {
    const fs::path game = dir_ / "empty";
    fs::create_directories(game);
    mount({"--game", game.string()});
    struct stat st {};
    ASSERT_EQ(::stat(mountPoint_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, S_IFDIR | 0555);
    EXPECT_TRUE(Listed(mountPoint_).empty());
    EXPECT_NE(program_->log().find("master.dat is missing; left out"), std::string::npos)
        << program_->log();
}

struct StackRefusal {
    const char* name;
    std::vector<std::string> args;  // "GOOD" and "DIR" stand for a good archive and the folder
    std::string message;
};

class RefusedStackTest : public MountedSourcesTest,
                         public testing::WithParamInterface<StackRefusal> {};

TEST_P(RefusedStackTest, NamesTheSourceAndMountsNothing) {
    const fs::path good = dir_.write("good.dat", datwriter::BuildDat({datwriter::Make("A", "a")}));
    dir_.write("bad.dat", "abc");
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args) {
        if (arg == "GOOD") {
            args.push_back(good.string());
        } else {
            args.push_back(arg.starts_with("DIR/") ? (dir_ / arg.substr(4)).string() : arg);
        }
    }
    fs::create_directories(mountPoint_);
    MountedProgram program(args, mountPoint_, dir_ / "log");
    EXPECT_FALSE(program.mounted());
    EXPECT_FALSE(IsMountPoint(mountPoint_));
    EXPECT_NE(program.log().find(GetParam().message), std::string::npos) << program.log();
}

INSTANTIATE_TEST_SUITE_P(
    Stacks, RefusedStackTest,
    testing::Values(
        StackRefusal{"ABadSecondSource",
                     {"GOOD", "DIR/bad.dat"},
                     "bad.dat: Not a valid DAT file (the file is shorter than its 8-byte trailer)"},
        StackRefusal{"AMissingSource",
                     {"GOOD", "DIR/missing.dat"},
                     "missing.dat: No such file or directory"},
        StackRefusal{"GameFolderIsAFile", {"--game", "DIR/bad.dat"}, "bad.dat: not a folder"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix::test
