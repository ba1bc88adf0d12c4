// The window over a game folder: the stack's folders, its effective files with the source of
// each in a second column, extraction of the winning copies, and refusals that change nothing.

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <map>

#include "ui/qt_text.h"
#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Make;
using Files = std::map<std::string, std::string>;

class StackWindowTest : public test::WindowFixture {
protected:
    // critter.dat wins over master.dat; the data folder (both patch keys' default) over both.
    std::filesystem::path MakeGame() {
        const std::filesystem::path game = work / "game";
        std::filesystem::create_directories(game / "data" / "Art" / "critters");
        std::filesystem::create_directories(game / "data" / "text");
        work.write("game/critter.dat", BuildDat({Make("art\\critters\\hero.frm", "critter")}));
        work.write("game/master.dat", BuildDat({Make("ART\\CRITTERS\\HERO.FRM", "master"),
                                                Make("ART\\CRITTERS\\MONSTER.FRM", "monster"),
                                                Make("TEXT\\README.TXT", "master text")}));
        work.write("game/data/Art/critters/Loose.txt", "loose");
        work.write("game/data/text/readme.txt", "patched text");
        return game;
    }

    void OpenGameWithShortcut(const std::filesystem::path& dir) {
        dialogs.answerFolder(dir);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // Each row's name and the source beside it.
    std::vector<std::pair<QString, QString>> Rows() const {
        std::vector<std::pair<QString, QString>> rows;
        const auto* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            rows.emplace_back(index.data().toString(),
                              index.data(FileListModel::kSourceRole).toString());
        }
        return rows;
    }

    std::filesystem::path dest() const { return work / "dest"; }
};

TEST_F(StackWindowTest, ListsEffectiveFilesWithTheirSource) {
    struct Case {
        const char* label;
        QStringList folder;
        std::vector<std::pair<QString, QString>> rows;
        QString summary;
    };
    const std::vector<Case> cases = {
        {"one folder in three spellings, the winner's file name",
         {"Art", "critters"},
         {{"hero.frm", "critter.dat"}, {"Loose.txt", "data/"}, {"MONSTER.FRM", "master.dat"}},
         "0 of 3 file(s) selected, real_size:0, packed_size:0"},
        {"a folder's file hides an archive's",
         {"text"},
         {{"readme.txt", "data/"}},
         "0 of 1 file(s) selected, real_size:0, packed_size:0"},
    };
    Start({Make("OTHER\\X.TXT", "x")});
    const std::filesystem::path game = MakeGame();
    OpenGameWithShortcut(game);
    ASSERT_EQ(dialogs.folderTitles, std::vector<std::string>{"Choose the game folder"});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->windowTitle(), FromFsPath(game) + " - TARVIX v.09");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_NO_FATAL_FAILURE(selectFolder(c.folder));
        EXPECT_EQ(Rows(), c.rows);
        EXPECT_EQ(status(), c.summary);
        EXPECT_GT(list()->sourceColumnWidth(), 0);
    }
}

TEST_F(StackWindowTest, ExtractsTheWinningCopies) {
    struct Case {
        const char* label;
        QStringList folder;
        std::vector<int> rows;
        bool preserve;
        Files files;
    };
    const std::vector<Case> cases = {
        {"the file of two archives, from the first",
         {"Art", "critters"},
         {0},
         false,
         {{"hero.frm", "critter"}}},
        {"one of each source, below the union's spelling",
         {"Art", "critters"},
         {0, 1, 2},
         true,
         {{"Art", "<dir>"},
          {"Art/critters", "<dir>"},
          {"Art/critters/Loose.txt", "loose"},
          {"Art/critters/MONSTER.FRM", "monster"},
          {"Art/critters/hero.frm", "critter"}}},
        {"a folder's file over an archive's",
         {"text"},
         {0},
         false,
         {{"readme.txt", "patched text"}}},
    };
    Start({Make("OTHER\\X.TXT", "x")});
    OpenGameWithShortcut(MakeGame());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove_all(dest());
        std::filesystem::create_directory(dest());
        preservePaths()->setChecked(c.preserve);
        ASSERT_NO_FATAL_FAILURE(selectFolder(c.folder));
        for (int row : c.rows)
            clickRow(row, row == c.rows.front() ? Qt::NoModifier : Qt::ControlModifier);
        dialogs.answerSave(dest() / "ignored");
        extractButton()->click();
        ASSERT_NO_FATAL_FAILURE(FinishBatch());
        EXPECT_EQ(test::Snapshot(dest()), c.files);
        EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    }
}

// A refused folder is said to be so, and the archive shown stays, caption, tree and list alike.
TEST_F(StackWindowTest, RefusedFolderLeavesTheArchiveShown) {
    struct Case {
        const char* label;
        std::string folder;        // below the work folder; made by the case
        std::string brokenMaster;  // written as the folder's master.dat when not empty
        std::string message;       // after the folder's path
    };
    const std::vector<Case> cases = {
        {"no such folder", "missing", "", " is not a folder"},
        {"none of the game's sources", "empty", "",
         " holds none of the game's archives or folders"},
        {"a source that is not an archive", "broken", "12345678",
         "/master.dat: Not a valid DAT file (DataSize does not match real file size)"},
    };
    Start({Make("OTHER\\X.TXT", "x")});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"OTHER"}));
    const QString title = window->windowTitle();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::filesystem::path dir = work / c.folder;
        if (c.folder != "missing") std::filesystem::create_directories(dir);
        if (!c.brokenMaster.empty()) work.write(c.folder + "/master.dat", c.brokenMaster);
        dialogs.messages.clear();
        OpenGameWithShortcut(dir);
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{dir.string() + c.message});
        EXPECT_EQ(window->windowTitle(), title);
        EXPECT_EQ(listTexts(), QStringList{"X.TXT"});
        EXPECT_EQ(pathBox()->text(), "OTHER");
        EXPECT_EQ(window->archive().entryCount(), 1u);
    }
}

// One archive, before and after a stack: one column, and the archive's own captions.
TEST_F(StackWindowTest, OneArchiveShowsNoSourceColumn) {
    const std::vector<datwriter::Entry> archive = {Make("ART\\A.FRM", "a"),
                                                   Make("ART\\B.FRM", "b")};
    struct Case {
        const char* label;
        bool stackFirst;
    };
    for (const Case& c : {Case{"opened alone", false}, Case{"opened after a stack", true}}) {
        SCOPED_TRACE(c.label);
        Start(archive);
        if (c.stackFirst) {
            OpenGameWithShortcut(MakeGame());
            ASSERT_NE(window->archive().path(), archivePath);
            window->OpenAnotherArchive(archivePath);
        }
        ASSERT_NO_FATAL_FAILURE(selectFolder({"ART"}));
        EXPECT_EQ(Rows(), (std::vector<std::pair<QString, QString>>{{"A.FRM", ""}, {"B.FRM", ""}}));
        EXPECT_EQ(list()->sourceColumnWidth(), 0);
        EXPECT_EQ(window->windowTitle(), FromFsPath(archivePath) + " - TARVIX v.09");
    }
}

// The game folder as the start-up path, as `tarvix DIR` gives it, and the folder menu's item.
TEST_F(StackWindowTest, GameFolderAtStartAndFromTheFolderMenu) {
    const std::filesystem::path game = MakeGame();
    window = std::make_unique<CExtractDlg>(dialogs);
    window->setStartupArchive(game);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(window->windowTitle(), FromFsPath(game) + " - TARVIX v.09");
    ASSERT_NO_FATAL_FAILURE(selectFolder({"text"}));
    EXPECT_EQ(Rows(), (std::vector<std::pair<QString, QString>>{{"readme.txt", "data/"}}));
    auto* fromMenu = window->findChild<QAction*>(QStringLiteral("openGameFolder"));
    ASSERT_NE(fromMenu, nullptr);
    EXPECT_EQ(fromMenu->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
}

// Each way of opening a game folder names, in one message, the sources the game would read
// that are not there; a whole game gets no message.
TEST_F(StackWindowTest, LeftOutSourcesAreNamedOnce) {
    enum class Route { AtStart, Shortcut, Drop };
    struct Case {
        const char* label;
        Route route;
        bool withoutCritter;
        std::vector<std::string> messages;
    };
    const std::string leftOut =
        "Not found in the game folder, left out: " + (work / "game" / "critter.dat").string();
    const std::vector<Case> cases = {
        {"at start, whole", Route::AtStart, false, {}},
        {"at start, no critter.dat", Route::AtStart, true, {leftOut}},
        {"by the shortcut, whole", Route::Shortcut, false, {}},
        {"by the shortcut, no critter.dat", Route::Shortcut, true, {leftOut}},
        {"dropped, whole", Route::Drop, false, {}},
        {"dropped, no critter.dat", Route::Drop, true, {leftOut}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::filesystem::path game = MakeGame();
        if (c.withoutCritter) std::filesystem::remove(game / "critter.dat");
        window.reset();
        dialogs.messages.clear();
        if (c.route == Route::AtStart) {
            window = std::make_unique<CExtractDlg>(dialogs);
            window->setStartupArchive(game);
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        } else {
            Start({Make("OTHER\\X.TXT", "x")});
        }
        if (c.route == Route::Shortcut) OpenGameWithShortcut(game);
        if (c.route == Route::Drop) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(FromFsPath(game))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(window.get(), &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(window.get(), &drop);
            ASSERT_TRUE(drop.isAccepted());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->archive().path() == game; }));
        EXPECT_EQ(window->windowTitle(), FromFsPath(game) + " - TARVIX v.09");
        EXPECT_EQ(dialogs.messages, c.messages);
    }
}

}  // namespace
}  // namespace tarvix
