// tarvix-cli over a stack of sources (-L, --game) and 'which', on a game folder the tests make.

#include <filesystem>

#include "cli_fixture.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using datwriter::Make;

// A packed entry whose zlib stream is broken in the middle.
datwriter::Entry Damaged(std::string name) {
    datwriter::Entry entry = Packed(std::move(name), LongText(3000));
    entry.data[entry.data.size() / 2] ^= 0x55;
    return entry;
}

// The game folder: patch000.dat, the patches folder DATA (mixed case on disk), critter.dat and
// MASTER.DAT, named by a fallout2.cfg with spaces and other keys. The same critter is in three
// sources in three spellings; a damaged copy in MASTER.DAT is shadowed, one in critter.dat wins.
class StackCliTest : public CliTest {
protected:
    void SetUp() override {
        fs::create_directories(work / "game/DATA/Art/Critters");
        fs::create_directories(work / "game/DATA/Sound/Music");
        work.write("game/fallout2.cfg",
                   "[sound]\nmaster_dat=none.dat\n[system]\r\n  art_cache_size = 8\r\n"
                   "  master_dat = MASTER.DAT \r\ncritter_patches=data\n");
        Archive({Make("MAPS\\BROKEN.MAP", "fixed")}, {}, "game/patch000.dat");
        work.write("game/DATA/Art/Critters/hmjmps.frm", "loose");
        work.write("game/DATA/Sound/Music/Only.ACM", "music");
        Archive(
            {Make("art\\critters\\HMJMPS.FRM", "critter"), Damaged("ART\\CRITTERS\\DAMAGED.FRM")},
            {}, "game/critter.dat");
        Archive({Packed("ART\\CRITTERS\\HMJMPS.FRM", "master"), Damaged("maps\\broken.map"),
                 Make("text\\english\\game.msg", "m")},
                {}, "game/MASTER.DAT");
    }
};

struct StackRunCase {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class StackRunTest : public StackCliTest, public ::testing::WithParamInterface<StackRunCase> {};

void ExpectRun(const CliRun& run, const StackRunCase& c) {
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

TEST_P(StackRunTest, PrintsWhatTheGameWouldRead) {
    ExpectRun(Run(GetParam().args), GetParam());
}

const std::string kGameList =
    "ART\\CRITTERS\\DAMAGED.FRM\nArt\\Critters\\hmjmps.frm\nMAPS\\BROKEN.MAP\n"
    "Sound\\Music\\Only.ACM\ntext\\english\\game.msg\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, StackRunTest,
    ::testing::Values(
        StackRunCase{"list of the game in its order", {"list", "--game", "game"}, 0, kGameList, ""},
        StackRunCase{"list selects with patterns",
                     {"list", "--game=game", "art/CRITTERS/h*"},
                     0,
                     "Art\\Critters\\hmjmps.frm\n",
                     ""},
        StackRunCase{"list json names source and shadows",
                     {"list", "--json", "--game", "game", "art/critters/hmjmps.frm"},
                     0,
                     "[\n  {\"path\": \"Art\\\\Critters\\\\hmjmps.frm\", \"type\": 0, \"packing\": "
                     "\"stored\", \"real_size\": 5, \"packed_size\": 5, \"offset\": 0, \"source\": "
                     "\"game/DATA\", "
                     "\"shadows\": [\"game/critter.dat\", \"game/MASTER.DAT\"]}\n]\n",
                     ""},
        StackRunCase{"which gives the same winner and the shadowed copies",
                     {"which", "--game", "game", "ART/critters/HMJMPS.frm"},
                     0,
                     "game/DATA: Art\\Critters\\hmjmps.frm\n"
                     "  game/critter.dat: art\\critters\\HMJMPS.FRM\n"
                     "  game/MASTER.DAT: ART\\CRITTERS\\HMJMPS.FRM\n",
                     ""},
        StackRunCase{"which of a path in no source fails",
                     {"which", "-L", "game/patch000.dat", "maps\\broken.map", "none"},
                     1,
                     "game/patch000.dat: MAPS\\BROKEN.MAP\n",
                     "tarvix-cli: no source has 'none'\n"},
        StackRunCase{"which on one archive",
                     {"which", "game/MASTER.DAT", "maps/BROKEN.map"},
                     0,
                     "game/MASTER.DAT: maps\\broken.map\n",
                     ""},
        StackRunCase{"layers in the order given, the first wins",
                     {"list", "-l", "-Lgame/MASTER.DAT", "--layer", "game/DATA", "art"},
                     0,
                     "zlib  6  14  0  game/MASTER.DAT  game/DATA  ART\\CRITTERS\\HMJMPS.FRM\n",
                     ""},
        StackRunCase{"info over the game",
                     {"info", "--game", "game"},
                     0,
                     "source game/patch000.dat: 1 entry\nsource game/DATA: 2 entries\n"
                     "source game/critter.dat: 2 entries\nsource game/MASTER.DAT: 3 entries\n"
                     "effective entries: 5\nshadowed entries: 3\n",
                     ""},
        StackRunCase{"a winning damaged copy counts",
                     {"check", "--game", "game"},
                     1,
                     "game/critter.dat: ART\\CRITTERS\\DAMAGED.FRM: Packed data is damaged\n"
                     "5 entries checked, 1 problem\n",
                     ""},
        StackRunCase{"a shadowed damaged copy does not",
                     {"check", "-L", "game/patch000.dat", "-L", "game/MASTER.DAT"},
                     0,
                     "3 entries checked, 0 problems\n",
                     ""},
        StackRunCase{"a refused source is an error naming it",
                     {"list", "-L", "game/patch000.dat", "-L", "game/fallout2.cfg"},
                     2,
                     "",
                     "tarvix-cli: 'game/fallout2.cfg': Not a valid DAT file (DataSize does not "
                     "match real file size)\n"},
        StackRunCase{"layers and a game folder together",
                     {"list", "-L", "a.dat", "--game", "game"},
                     2,
                     "",
                     "tarvix-cli: '-L' and '--game' cannot be combined\nTry 'tarvix-cli list "
                     "--help' for more information.\n"},
        StackRunCase{"-L without a value",
                     {"info", "-L"},
                     2,
                     "",
                     "tarvix-cli: option '-L' needs a value\nTry 'tarvix-cli info --help' for "
                     "more information.\n"},
        StackRunCase{"check takes no pattern over a stack",
                     {"check", "--game", "game", "art"},
                     2,
                     "",
                     "tarvix-cli: unexpected argument 'art'\nTry 'tarvix-cli check --help' for "
                     "more information.\n"},
        StackRunCase{"which needs a path",
                     {"which", "--game", "game"},
                     2,
                     "",
                     "tarvix-cli: missing PATH\nTry 'tarvix-cli which --help' for more "
                     "information.\n"}),
    NameOfCase<StackRunCase>);

struct OptionCase {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class StackOptionTest : public CliTest, public ::testing::WithParamInterface<OptionCase> {
protected:
    void SetUp() override {
        fs::create_directories(work / "mod/Text");
        work.write("mod/Text/Caf\xC3\xA9.msg", "cafe");
        Archive({Make("text\\caf\xE9.MSG", "x")}, {}, "base.dat");
    }
};

TEST_P(StackOptionTest, ReadsTheSourcesAsGiven) {
    const OptionCase& c = GetParam();
    const CliRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

// A folder's UTF-8 names are read as the Windows-1252 names an archive would hold, so that the
// same file in an archive and in a folder is one path.
INSTANTIATE_TEST_SUITE_P(
    Options, StackOptionTest,
    ::testing::Values(
        OptionCase{"layer joined with an equals sign",
                   {"which", "--layer=mod", "--layer=base.dat", "TEXT/CAF\xC3\xA9.msg"},
                   0,
                   "mod: Text\\Caf\xC3\xA9.msg\n  base.dat: text\\caf\xC3\xA9.MSG\n",
                   ""},
        OptionCase{"layer joined to -L", {"list", "-Lmod"}, 0, "Text\\Caf\xC3\xA9.msg\n", ""},
        OptionCase{
            "json gives the folder's name exactly",
            {"list", "--json", "-L", "mod"},
            0,
            "[\n  {\"path\": \"Text\\\\Caf\xC3\xA9.msg\", \"type\": 0, \"packing\": \"stored\", "
            "\"real_size\": 4, \"packed_size\": 4, \"offset\": 0, \"source\": \"mod\", "
            "\"shadows\": []}\n]\n",
            ""},
        OptionCase{"an empty layer",
                   {"list", "--layer="},
                   2,
                   "",
                   "tarvix-cli: option '--layer' needs a value\nTry 'tarvix-cli list --help' for "
                   "more information.\n"},
        OptionCase{"a game folder that is not a folder",
                   {"info", "--game", "base.dat"},
                   2,
                   "",
                   "tarvix-cli: 'base.dat': not a folder\n"},
        OptionCase{"a layer that does not exist",
                   {"check", "-L", "mod", "-L", "gone.dat"},
                   2,
                   "",
                   "tarvix-cli: 'gone.dat': No such file or directory\n"}),
    NameOfCase<OptionCase>);

// The folder's file comes out under its own name, not the archive's spelling of it.
TEST_F(StackOptionTest, ExtractWritesAFoldersFileUnderItsName) {
    fs::create_directory(work / "out");
    const CliRun run = Run({"extract", "-C", "out", "-L", "mod", "-L", "base.dat"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(work / "out/Text/Caf\xC3\xA9.msg"), "cafe");
}

TEST_F(StackCliTest, MissingCritterDatIsNotedAndLeftOut) {
    fs::remove(work / "game/critter.dat");
    const CliRun run = Run({"list", "--game", "game", "art/critters"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Art\\Critters\\hmjmps.frm\n");
    EXPECT_EQ(run.err, "tarvix-cli: note: 'game/critter.dat' is missing; left out\n");
}

// Each effective entry from its winner, below the folder spelt as the first source spells it;
// the winning damaged copy fails and is named.
TEST_F(StackCliTest, ExtractWritesTheWinningCopies) {
    fs::create_directory(work / "out");
    const CliRun run = Run({"extract", "-C", "out", "--game", "game"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ART\\CRITTERS\\DAMAGED.FRM: Packed data is damaged\n");
    const std::map<std::string, std::string> expected = {
        {"Art", "<dir>"},
        {"Art/Critters", "<dir>"},
        {"Art/Critters/hmjmps.frm", "loose"},
        {"MAPS", "<dir>"},
        {"MAPS/BROKEN.MAP", "fixed"},
        {"Sound", "<dir>"},
        {"Sound/Music", "<dir>"},
        {"Sound/Music/Only.ACM", "music"},
        {"text", "<dir>"},
        {"text/english", "<dir>"},
        {"text/english/game.msg", "m"},
    };
    EXPECT_EQ(Snapshot(work / "out"), expected);
}

// A file in one source and a folder of that path in another are both extracted, the source
// that comes first first: the second writer fails as any clash does.
TEST_F(StackCliTest, FileAndFolderOfOnePathClashAsUsual) {
    const std::string file = Archive({Make("text\\english", "file")}, {}, "file.dat");
    const std::string folder = Archive({Make("text\\english\\game.msg", "m")}, {}, "folder.dat");
    struct Row {
        std::vector<std::string> layers;
        std::string err;
        std::string written;  // the file that came out
    };
    const Row rows[] = {
        {{file, folder}, "Cannot write text\\english\\game.msg: Not a directory\n", "text/english"},
        {{folder, file}, "Cannot write text\\english: Is a directory\n", "text/english/game.msg"},
    };
    for (const Row& row : rows) {
        fs::remove_all(work / "out");
        fs::create_directory(work / "out");
        const CliRun run = Run({"extract", "-C", "out", "-L", row.layers[0], "-L", row.layers[1]});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, row.err);
        EXPECT_TRUE(fs::is_regular_file(work / "out" / row.written)) << row.written;
    }
}

// -v and the "replaced" lines over a stack, as over one archive: each written file on standard
// output, in the order written, and each file a later entry wrote over on standard error.
struct WrittenCase {
    const char* what;
    std::vector<std::string> args;  // after "extract -C out"
    std::string out;
    std::string err;
};

class StackWrittenTest : public CliTest, public ::testing::WithParamInterface<WrittenCase> {
protected:
    void SetUp() override {
        fs::create_directories(work / "mod/b");
        fs::create_directories(work / "mod/a");
        work.write("mod/b/x.txt", "mod b");
        work.write("mod/a/x.txt", "mod a");
        Archive({Make("A\\X.TXT", "base a"), Make("C\\x.txt", "base c")}, {}, "base.dat");
        fs::create_directory(work / "out");
    }
};

TEST_P(StackWrittenTest, ReportsWhatWasWritten) {
    const WrittenCase& c = GetParam();
    std::vector<std::string> args = {"extract", "-C", "out"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Written, StackWrittenTest,
    ::testing::Values(WrittenCase{"verbose, the folder's files first",
                                  {"-v", "-L", "mod", "-L", "base.dat"},
                                  "a/x.txt\nb/x.txt\nC/x.txt\n",
                                  ""},
                      WrittenCase{"quiet without -v", {"-L", "mod", "-L", "base.dat"}, "", ""},
                      WrittenCase{"flat: the later of one source, then the later source",
                                  {"--flat", "-v", "-L", "mod", "-L", "base.dat"},
                                  "x.txt\nx.txt\nx.txt\n",
                                  "a\\x.txt: replaced by b\\x.txt in x.txt\n"
                                  "b\\x.txt: replaced by C\\x.txt in x.txt\n"},
                      WrittenCase{"flat: the later source's file replaces the earlier's",
                                  {"--flat", "-L", "base.dat", "-L", "mod"},
                                  "",
                                  "C\\x.txt: replaced by b\\x.txt in x.txt\n"}),
    NameOfCase<WrittenCase>);

// A game folder with none of the game's sources is an empty stack, each source named in a note;
// a source that is there but cannot be read stops the run, after the notes.
class GameFolderOpeningTest : public CliTest, public ::testing::WithParamInterface<StackRunCase> {
protected:
    void SetUp() override {
        fs::create_directories(work / "empty");
        fs::create_directories(work / "bad/data");
        work.write("bad/critter.dat", "junk");
    }
};

TEST_P(GameFolderOpeningTest, NotesMissingSourcesAndNamesARefusedOne) {
    ExpectRun(Run(GetParam().args), GetParam());
}

const std::string kEmptyGameNotes =
    "tarvix-cli: note: 'empty/data' is missing; left out\n"
    "tarvix-cli: note: 'empty/critter.dat' is missing; left out\n"
    "tarvix-cli: note: 'empty/master.dat' is missing; left out\n";
const std::string kBadGameErrors =
    "tarvix-cli: note: 'bad/master.dat' is missing; left out\n"
    "tarvix-cli: 'bad/critter.dat': Not a valid DAT file (the file is shorter than its 8-byte "
    "trailer)\n";

INSTANTIATE_TEST_SUITE_P(
    GameFolders, GameFolderOpeningTest,
    ::testing::Values(
        StackRunCase{"list of no sources", {"list", "--game", "empty"}, 0, "", kEmptyGameNotes},
        StackRunCase{"info of no sources",
                     {"info", "--game", "empty"},
                     0,
                     "effective entries: 0\nshadowed entries: 0\n",
                     kEmptyGameNotes},
        StackRunCase{"which over no sources",
                     {"which", "--game", "empty", "x"},
                     1,
                     "",
                     kEmptyGameNotes + "tarvix-cli: no source has 'x'\n"},
        StackRunCase{
            "list with a damaged source", {"list", "--game", "bad"}, 2, "", kBadGameErrors},
        StackRunCase{
            "which with a damaged source", {"which", "--game", "bad", "x"}, 2, "", kBadGameErrors}),
    NameOfCase<StackRunCase>);

}  // namespace
}  // namespace tarvix::test
