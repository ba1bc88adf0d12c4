// 'which' and 'list --json' over a game folder against what the window shows of the same folder.
// The window shows exactly what ArchiveSession::openGame gives it (its entry list, folder index
// and stack), so the session stands in for the window here: the command line and the window
// must name the same winner, in the same spelling, shadowing the same sources.

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "archive/archive_session.h"
#include "archive/dat_entry.h"
#include "archive/game_path.h"
#include "archive/stack_entry_list.h"
#include "cli_fixture.h"

namespace tarvix::test {
namespace {

namespace fs = std::filesystem;
using datwriter::Make;

// One source's copy as the command line names it: the source's label and the entry's name.
struct NamedCopy {
    std::string source;
    std::string name;
};

// What the command line says of one path: the winner, then the copies it shadows.
struct CliAnswer {
    std::vector<NamedCopy> copies;
};

CliAnswer ParseWhich(const std::string& out) {
    CliAnswer answer;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t colon = line.find(": ");
        const std::size_t indent = line.rfind("  ", 0) == 0 ? 2 : 0;
        answer.copies.push_back({line.substr(indent, colon - indent), line.substr(colon + 2)});
    }
    return answer;
}

std::string Unescaped(const std::string& json) {
    return std::regex_replace(json, std::regex(R"(\\\\)"), "\\");
}

// The single record of `list --json PATH`: its path and source, then the shadows' sources.
CliAnswer ParseListJson(const std::string& out) {
    CliAnswer answer;
    std::smatch record;
    if (!std::regex_search(out, record,
                           std::regex(R"re("path": "((?:[^"\\]|\\.)*)".*"source": "([^"]*)", )re"
                                      R"re("shadows": \[([^\]]*)\])re"))) {
        return answer;
    }
    answer.copies.push_back({record[2], Unescaped(record[1])});
    const std::string shadows = record[3];
    const std::regex quoted(R"re("([^"]*)")re");
    for (auto it = std::sregex_iterator(shadows.begin(), shadows.end(), quoted);
         it != std::sregex_iterator(); ++it) {
        answer.copies.push_back({(*it)[1], ""});
    }
    return answer;
}

std::string FileNameOf(const std::string& label) {
    return fs::path(label).filename().string();
}

struct AgreementCase {
    const char* what;
    std::string typed;                   // as the user types it, '/' between folders
    std::vector<std::string> providers;  // the window's source column, winner first
};

// The game folder, with the default names (no fallout2.cfg): the patches folder DATA (mixed case
// on disk), critter.dat and master.dat. A critter is in all three in three spellings; Text\Game
// is a file in the folder and a folder in master.dat.
class WindowAgreementTest : public CliTest, public ::testing::WithParamInterface<AgreementCase> {
protected:
    void SetUp() override {
        fs::create_directories(work / "game/DATA/Art/Critters");
        fs::create_directories(work / "game/DATA/Sound/Music");
        fs::create_directories(work / "game/DATA/Text");
        work.write("game/DATA/Art/Critters/Hmjmps.frm", "loose");
        work.write("game/DATA/Sound/Music/Only.ACM", "music");
        work.write("game/DATA/Text/Game", "a file named as a folder");
        Archive({Make("art\\critters\\HMJMPS.FRM", "critter"), Make("MAPS\\Broken.MAP", "c")}, {},
                "game/critter.dat");
        Archive({Make("ART\\CRITTERS\\hmjmps.frm", "master"), Make("maps\\BROKEN.map", "m"),
                 Make("TEXT\\GAME\\DIALOG.MSG", "d")},
                {}, "game/master.dat");
        ASSERT_TRUE(session.openGame(work / "game").ok);
    }

    // The window's row of `typed`: its index in the session's entry list, which must hold it once.
    EntryIndex WindowRow(const std::string& typed) {
        std::string internal = typed;
        std::replace(internal.begin(), internal.end(), '/', '\\');
        std::vector<EntryIndex> rows;
        for (EntryIndex i = 0; i < session.archive().entryCount(); ++i) {
            if (SameGamePath(EntryName(session.table()[i]), internal)) rows.push_back(i);
        }
        EXPECT_EQ(rows.size(), 1u) << typed;
        return rows.empty() ? 0 : rows.front();
    }

    ArchiveSession session;
};

TEST_P(WindowAgreementTest, CommandLineNamesWhatTheWindowShows) {
    const AgreementCase& c = GetParam();
    const CliRun which = Run({"which", "--game", "game", c.typed});
    const CliRun list = Run({"list", "--json", "--game", "game", c.typed});
    ASSERT_EQ(which.status, 0) << which.err;
    ASSERT_EQ(list.status, 0) << list.err;
    const CliAnswer byWhich = ParseWhich(which.out);
    const CliAnswer byList = ParseListJson(list.out);
    ASSERT_EQ(byWhich.copies.size(), c.providers.size()) << which.out;
    ASSERT_EQ(byList.copies.size(), c.providers.size()) << list.out;

    const SourceStack& stack = *session.stack();
    const EntryIndex row = WindowRow(c.typed);
    const StackEntry& shown = stack.entries()[row];
    std::vector<StackCopy> copies = {{shown.source, shown.index}};
    copies.insert(copies.end(), shown.shadows.begin(), shown.shadows.end());
    ASSERT_EQ(copies.size(), c.providers.size());
    for (std::size_t k = 0; k < copies.size(); ++k) {
        const StackSource& source = stack.source(copies[k].source);
        EXPECT_EQ(SourceShortName(source), c.providers[k]);
        const std::string provider = FileNameOf(byWhich.copies[k].source);
        EXPECT_TRUE(c.providers[k] == provider || c.providers[k] == provider + "/")
            << byWhich.copies[k].source;
        EXPECT_EQ(byList.copies[k].source, byWhich.copies[k].source);
        EXPECT_EQ(byWhich.copies[k].name, source.entryName(copies[k].index));
    }
    // The window spells the folders as the union does and the file as the winner does; the
    // command line gives the winner's whole spelling.
    const std::string_view windowName = EntryName(session.table()[row]);
    EXPECT_TRUE(SameGamePath(windowName, byWhich.copies[0].name)) << windowName;
    EXPECT_EQ(SplitFolderAndFile(windowName).file, SplitFolderAndFile(byWhich.copies[0].name).file);
    EXPECT_EQ(byList.copies[0].name, byWhich.copies[0].name);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowAgreementTest,
    ::testing::Values(
        AgreementCase{"same path in three sources",
                      "ART/critters/HMJMPS.frm",
                      {"DATA/", "critter.dat", "master.dat"}},
        AgreementCase{"only in the folder, mixed case", "sound/MUSIC/only.acm", {"DATA/"}},
        AgreementCase{"a file where another source has a folder", "text/game", {"DATA/"}},
        AgreementCase{
            "inside the folder a file clashes with", "Text/Game/dialog.msg", {"master.dat"}},
        AgreementCase{
            "two archives in two spellings", "maps/broken.map", {"critter.dat", "master.dat"}}),
    NameOfCase<AgreementCase>);

}  // namespace
}  // namespace tarvix::test
