// Whole folders and the whole archive from the folder menu, and opening another archive in
// place of the current one.

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <map>

#include "app/command_line.h"
#include "ui/qt_text.h"
#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;
using test::Snapshot;
using Files = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

class FoldersAndOpeningTest : public test::WindowFixture {
protected:
    std::filesystem::path dest() const { return work / "dest"; }

    // Opens the folder menu with Shift+F10 and picks an item by its mnemonic, which must act at
    // once: one that two items share would only move to the first of them.
    void PickFromFolderMenu(char mnemonic) {
        bool picked = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr) << "no folder menu";
            QTest::keyClick(menu, static_cast<Qt::Key>(Qt::Key_A + (mnemonic - 'a')));
            EXPECT_FALSE(menu->isVisible()) << mnemonic << " did not act at once";
            if (menu->isVisible()) menu->close();
            picked = true;
        });
        QTest::keyClick(tree(), Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_TRUE(picked);
    }

    const std::vector<datwriter::Entry> kArchive = {Make("ART\\CRITTERS\\A.FRM", "a"),
                                                    Make("ART\\CRITTERSX\\B.FRM", "b"),
                                                    Make("ART\\CRITTERS\\SUB\\C.FRM", "c"),
                                                    Make("X", "top x"),
                                                    Make("X\\Y", "y"),
                                                    Make("README.TXT", "r")};
};

TEST_F(FoldersAndOpeningTest, ExtractFolderAndAllFromTheMenu) {
    struct Case {
        const char* label;
        QStringList folder;
        bool preserve;
        char item;
        Files files;
        Strings messages;
    };
    const std::vector<Case> cases = {
        {"a folder, relative to its parent",
         {"ART", "CRITTERS"},
         false,
         'f',
         {{"CRITTERS", "<dir>"},
          {"CRITTERS/A.FRM", "a"},
          {"CRITTERS/SUB", "<dir>"},
          {"CRITTERS/SUB/C.FRM", "c"}},
         {}},
        {"a folder, full paths",
         {"ART", "CRITTERS"},
         true,
         'f',
         {{"ART", "<dir>"},
          {"ART/CRITTERS", "<dir>"},
          {"ART/CRITTERS/A.FRM", "a"},
          {"ART/CRITTERS/SUB", "<dir>"},
          {"ART/CRITTERS/SUB/C.FRM", "c"}},
         {}},
        {"a top-level folder that is also a file: the second one fails",
         {"X"},
         false,
         'f',
         {{"X", "top x"}},
         {"1 of 2 file(s) could not be extracted:\nCannot write X\\Y: Not a directory"}},
        {"everything",
         {"README.TXT"},
         false,
         'a',
         {{"ART", "<dir>"},
          {"ART/CRITTERS", "<dir>"},
          {"ART/CRITTERS/A.FRM", "a"},
          {"ART/CRITTERS/SUB", "<dir>"},
          {"ART/CRITTERS/SUB/C.FRM", "c"},
          {"ART/CRITTERSX", "<dir>"},
          {"ART/CRITTERSX/B.FRM", "b"},
          {"README.TXT", "r"},
          {"X", "top x"}},
         {"1 of 6 file(s) could not be extracted:\nCannot write X\\Y: Not a directory"}},
    };
    Start(kArchive);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove_all(dest());
        std::filesystem::create_directory(dest());
        dialogs.messages.clear();
        preservePaths()->setChecked(c.preserve);
        ASSERT_NO_FATAL_FAILURE(selectFolder(c.folder));
        const QString listedBefore = status();
        dialogs.answerFolder(dest());
        ASSERT_NO_FATAL_FAILURE(PickFromFolderMenu(c.item));
        ASSERT_NO_FATAL_FAILURE(FinishBatch());
        EXPECT_EQ(dialogs.folderTitles.back(), "Choose folder to extract to");
        EXPECT_EQ(Snapshot(dest()), c.files);
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_EQ(status(), listedBefore);  // the tree, list and summary stay as they were
    }
}

TEST_F(FoldersAndOpeningTest, RightClickSelectsTheFolderUnderThePointerFirst) {
    Start(kArchive);
    ASSERT_NO_FATAL_FAILURE(selectFolder({"README.TXT"}));
    const QModelIndex art = tree()->model()->index(0, 0);
    const QPoint at = tree()->visualRect(art).center();
    QTimer::singleShot(0, [] {
        if (auto* menu = QApplication::activePopupWidget()) menu->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree()->viewport(), &click);
    EXPECT_EQ(tree()->currentIndex(), art);
    EXPECT_EQ(pathBox()->text(), "ART");
}

TEST_F(FoldersAndOpeningTest, AnotherArchiveReplacesTheCurrentOneOnlyWhenItLoads) {
    Start(kArchive);
    ASSERT_NO_FATAL_FAILURE(selectFolder({"ART", "CRITTERS"}));
    clickRow(0);
    const QString title = window->windowTitle();
    const QString summary = status();
    ASSERT_TRUE(extractButton()->isEnabled());

    // Refused: its messages, and the window exactly as it was.
    dialogs.answerOpen(work.write("bad.dat", "not an archive"));
    QTest::keySequence(window.get(), QKeySequence::Open);
    EXPECT_EQ(dialogs.messages, (Strings{messages::kSizeMismatch, messages::kCannotOpen}));
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(status(), summary);
    EXPECT_EQ(pathBox()->text(), "ART\\CRITTERS");
    EXPECT_TRUE(extractButton()->isEnabled());
    EXPECT_EQ(window->archive().entryCount(), kArchive.size());

    // Cancelled: nothing at all.
    dialogs.messages.clear();
    dialogs.cancelOpen();
    QTest::keySequence(window.get(), QKeySequence::Open);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->windowTitle(), title);

    // Loaded, by a drop: everything starts afresh for it; the find window, which searched the
    // old archive, is gone, and the viewer, which showed one of its entries, is closed.
    window->OpenFindWindow();
    ASSERT_NE(window->findChild<QDialog*>(QStringLiteral("findWindow")), nullptr);
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_F3);
    const auto viewer = [&] {
        return window->findChild<QWidget*>(QStringLiteral("previewWindow"));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer() && viewer()->isVisible(); }));
    const auto second = work.write("second.dat", datwriter::BuildDat({Make("NEW\\ONE", "1")}));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(second.string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
    ASSERT_TRUE(drop.isAccepted());
    // Opened once the drop has returned.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->archive().path() == second; }));
    EXPECT_EQ(window->windowTitle(), FromFsPath(second) + " - TARVIX v.09");
    EXPECT_EQ(tree()->model()->rowCount(), 1);
    EXPECT_EQ(list()->model()->rowCount(), 0);
    EXPECT_EQ(pathBox()->text(), "");
    EXPECT_EQ(status(), "0 of 0 file(s) selected, real_size:0, packed_size:0");
    EXPECT_FALSE(extractButton()->isEnabled());
    EXPECT_EQ(window->findChild<QDialog*>(QStringLiteral("findWindow")), nullptr);
    EXPECT_FALSE(viewer()->isVisible());
    ASSERT_NO_FATAL_FAILURE(selectFolder({"NEW"}));
    EXPECT_EQ(listTexts(), QStringList{"ONE"});
}

TEST_F(FoldersAndOpeningTest, AnArchiveNamedAtStartIsOpenedWithoutTheDialog) {
    const auto bad = work.write("bad.dat", "1234");
    window = std::make_unique<CExtractDlg>(dialogs);
    window->setStartupArchive(bad);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(dialogs.messages, (Strings{messages::kTooShort, messages::kCannotOpen}));
    EXPECT_EQ(window->windowTitle(), "TARVIX v0.9");
}

TEST(CommandLine, OneArchiveOrHelpOrVersion) {
    struct Case {
        QStringList arguments;
        std::optional<int> exitCode;
        std::optional<QString> archive;
        const char* printedStart;  // of standard output, then of standard error
    };
    const std::vector<Case> cases = {
        {{"tarvix"}, std::nullopt, std::nullopt, ""},
        {{"tarvix", "/tmp/a b.dat"}, std::nullopt, "/tmp/a b.dat", ""},
        {{"tarvix", "--help"}, 0, std::nullopt, "Usage: tarvix [options] [ARCHIVE]\n"},
        {{"tarvix", "-h"}, 0, std::nullopt, "Usage: tarvix [options] [ARCHIVE]\n"},
        {{"tarvix", "--version"}, 0, std::nullopt, "tarvix "},
        {{"tarvix", "a.dat", "b.dat"}, 2, std::nullopt, "tarvix: one archive at a time\n"},
        {{"tarvix", "--bogus"}, 2, std::nullopt, "tarvix: Unknown option 'bogus'."},
        // A single-dash word is one option, named whole, not a row of letters.
        {{"tarvix", "-platform", "xcb"}, 2, std::nullopt, "tarvix: Unknown option 'platform'."},
        {{"tarvix", "-version"}, 0, std::nullopt, "tarvix "},
        {{"tarvix", "-v"}, 0, std::nullopt, "tarvix "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartRequest request = ParseCommandLine(c.arguments);
        EXPECT_EQ(request.exitCode, c.exitCode);
        EXPECT_EQ(request.archive, c.archive);
        const QString printed = request.standardOutput + request.standardError;
        const QString start = QString::fromUtf8(c.printedStart);
        EXPECT_TRUE(start.isEmpty() ? printed.isEmpty() : printed.startsWith(start))
            << printed.toStdString();
        EXPECT_EQ(request.standardError.isEmpty(), c.exitCode != 2);
    }
}

}  // namespace
}  // namespace tarvix
