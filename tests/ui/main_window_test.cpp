#include <QAccessible>
#include <QFontMetrics>
#include <QSplitter>
#include <QWindow>

#include "archive/dat_archive.h"
#include "ui/dialog_units.h"
#include "ui/qt_text.h"
#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;
using Strings = std::vector<std::string>;

class MainWindowTest : public test::WindowFixture {};

TEST_F(MainWindowTest, CancelledArchiveDialogLeavesAnEmptyWorkingWindow) {
    StartCancelled();
    EXPECT_EQ(dialogs.messages, Strings{"Cannot open DAT file :("});
    EXPECT_EQ(window->windowTitle(), "TARVIX v0.9");
    EXPECT_EQ(tree()->model()->rowCount(), 0);
    EXPECT_EQ(list()->model()->rowCount(), 0);
    EXPECT_FALSE(extractButton()->isEnabled());
    QTest::mouseClick(versionButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages.back(), kVersionText);
}

TEST_F(MainWindowTest, RefusedArchiveGivesTheReasonThenCannotOpen) {
    datwriter::Layout badLength;
    badLength.dataSize = 7777;
    archivePath = work.write("bad.dat", datwriter::BuildDat({Make("A\\B", "x")}, badLength));
    dialogs.answerOpen(archivePath);
    Show();
    EXPECT_EQ(dialogs.messages, (Strings{messages::kSizeMismatch, messages::kCannotOpen}));
    EXPECT_EQ(window->windowTitle(), "TARVIX v0.9");
    EXPECT_EQ(tree()->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, ShortFileIsRefusedTheSameWay) {
    dialogs.answerOpen(work.write("short.dat", "1234"));
    Show();
    EXPECT_EQ(dialogs.messages, (Strings{messages::kTooShort, messages::kCannotOpen}));
}

// An archive named at start-up (or dropped) that cannot be opened at all, or is a folder, is
// named with the real reason before the window's own message.
TEST_F(MainWindowTest, AnArchiveThatCannotBeOpenedIsNamedWithTheReason) {
    std::filesystem::create_directory(work / "folder.dat");
    const auto cannotOpen = [&](const char* name, std::errc reason) {
        return Strings{
            "Cannot open " + (work / name).string() + ": " + std::make_error_code(reason).message(),
            messages::kCannotOpen};
    };
    // A folder is opened as a game folder; one that holds none of the game's sources is
    // refused as such.
    for (const auto& [name, expected] :
         {std::pair{"missing.dat", cannotOpen("missing.dat", std::errc::no_such_file_or_directory)},
          std::pair{"folder.dat", Strings{(work / "folder.dat").string() +
                                          " holds none of the game's archives or folders"}}}) {
        SCOPED_TRACE(name);
        dialogs.messages.clear();
        window = std::make_unique<CExtractDlg>(dialogs);
        window->setStartupArchive(work / name);
        window->show();
        EXPECT_EQ(dialogs.messages, expected);
        EXPECT_EQ(window->windowTitle(), "TARVIX v0.9");
        EXPECT_EQ(list()->placeholderText(), kEmptyListHint);
    }
}

TEST_F(MainWindowTest, LoadedArchiveNamesItselfInTheTitleAndShowsItsFolders) {
    Start({Make("ART\\X.FRM", "x"), Make("README.TXT", "r")});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->windowTitle(), FromFsPath(archivePath) + " - TARVIX v.09");
    EXPECT_EQ(tree()->model()->rowCount(), 2);
    EXPECT_FALSE(extractButton()->isEnabled());
    EXPECT_FALSE(preservePaths()->isChecked());
    EXPECT_FALSE(unpack()->isChecked());
    QTest::mouseClick(versionButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages, Strings{kVersionText});
    EXPECT_EQ(std::string(kVersionText),
              "TARVIX - Quorvane\nVersion 0.91 Alpha\nAll suggestions: tarvix@example.org");
}

class WindowCaptionTest : public test::WindowFixture,
                          public ::testing::WithParamInterface<const char*> {};

// The caption as the window system shows it; "[*]" is also Qt's mark for unsaved changes.
TEST_P(WindowCaptionTest, ShowsTheArchivePathExactly) {
    Start({Make("A\\B", "b")}, GetParam());
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->title(), FromFsPath(archivePath) + " - TARVIX v.09");
}

INSTANTIATE_TEST_SUITE_P(FileNames, WindowCaptionTest,
                         ::testing::Values("plain.dat", "[*]x.dat", "[*][*]x.dat",
                                           "a[*]b[*][*]c[*].dat", "[*[*]].dat"));

TEST_F(MainWindowTest, EightControlsWithTheirIdsTextsAndTabOrder) {
    StartCancelled();
    struct Expected {
        QWidget* widget;
        int id;
        QString text;
    };
    const std::vector<Expected> controls = {
        {tree(), 1000, {}},
        {list(), 1001, {}},
        {pathBox(), 1008, {}},
        {statusBox(), 1011, {}},
        {extractButton(), 1012, "Extract"},
        {preservePaths(), 1010, "Preserve internal paths"},
        {unpack(), 1014, "&Unpack packed files"},
        {versionButton(), 1013, "Version"},
    };
    QWidget* expectedNext = tree();
    for (const Expected& c : controls) {
        EXPECT_EQ(c.widget, expectedNext);
        EXPECT_EQ(c.widget->property("controlId").toInt(), c.id);
        EXPECT_TRUE(c.widget->focusPolicy() & Qt::TabFocus);
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.text);
        }
        expectedNext = c.widget->nextInFocusChain();
        while (expectedNext->focusPolicy() == Qt::NoFocus)
            expectedNext = expectedNext->nextInFocusChain();
    }
    EXPECT_TRUE(pathBox()->isReadOnly());
    EXPECT_TRUE(statusBox()->isReadOnly());
    EXPECT_FALSE(pathBox()->hasFrame());
    EXPECT_TRUE(pathBox()->text().isEmpty());
    EXPECT_FALSE(extractButton()->autoDefault());
    EXPECT_FALSE(versionButton()->isDefault());
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list()->viewMode(), QListView::ListMode);
    EXPECT_EQ(list()->flow(), QListView::TopToBottom);
}

TEST_F(MainWindowTest, EveryControlHasANameForScreenReaders) {
    StartCancelled();
    const std::vector<std::pair<QWidget*, QString>> controls = {
        {tree(), "Folders"},
        {list(), "Files"},
        {pathBox(), "Folder path"},
        {statusBox(), "Selection summary"},
        {extractButton(), "Extract"},
        {preservePaths(), "Preserve internal paths"},
        {unpack(), "Unpack packed files"},
        {versionButton(), "Version"},
    };
    for (const auto& [widget, name] : controls) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << name.toStdString();
        EXPECT_EQ(accessible->text(QAccessible::Name), name);
    }
    for (QWidget* button :
         {static_cast<QWidget*>(extractButton()), static_cast<QWidget*>(versionButton()),
          static_cast<QWidget*>(unpack())}) {
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(button)
                         ->text(QAccessible::Description)
                         .isEmpty());
    }
}

TEST_F(MainWindowTest, GeometryComesFromDialogUnitsAndTheWindowStartsAtItsSmallest) {
    StartCancelled();
    const DialogUnits du(window->font());
    EXPECT_EQ(tree()->geometry(), du.rect(0, 0, 105, 195));
    EXPECT_EQ(list()->geometry(), du.rect(105, 0, 255, 195));
    EXPECT_EQ(pathBox()->geometry(), du.rect(250, 212, 110, 12));
    EXPECT_EQ(statusBox()->geometry(), du.rect(0, 212, 245, 12));
    EXPECT_EQ(extractButton()->geometry(), du.rect(0, 195, 50, 15));
    EXPECT_EQ(preservePaths()->geometry(), du.rect(275, 200, 85, 10));
    EXPECT_EQ(versionButton()->geometry(), du.rect(50, 195, 50, 15));
    EXPECT_EQ(window->size(), QSize(du.x(362), du.y(225)));
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_GT(window->maximumSize().width(), window->width());
    EXPECT_GT(window->maximumSize().height(), window->height());

    // The layout as a person sees it.
    EXPECT_LT(tree()->geometry().right(), list()->geometry().left() + 1);
    EXPECT_GT(extractButton()->y(), tree()->geometry().bottom() - 1);
    EXPECT_LT(extractButton()->x(), versionButton()->x());
    EXPECT_GT(preservePaths()->x(), list()->x());
    EXPECT_LT(statusBox()->x(), pathBox()->x());
    EXPECT_GT(statusBox()->y(), extractButton()->y());
    // Unpack sits on the bottom row between Version and Preserve, its text uncut.
    EXPECT_GT(unpack()->geometry().left(), versionButton()->geometry().right());
    EXPECT_LT(unpack()->geometry().right(), preservePaths()->geometry().left());
    EXPECT_LE(unpack()->sizeHint().width(), unpack()->width());
    EXPECT_EQ(unpack()->y(), preservePaths()->y());

    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(du.baseWidth(),
              (QFontMetrics(window->font())
                       .horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
                   26 +
               1) /
                  2);
}

// Extra room goes to the tree and the list; the bottom row keeps its order below them, its
// right-hand part at the right edge. Back at the start size, everything is where it was.
TEST_F(MainWindowTest, AGrownWindowGivesTheRoomToTheTreeAndTheList) {
    StartCancelled();
    const DialogUnits du(window->font());
    const QSize start = window->size();
    const QRect tree0 = tree()->geometry(), list0 = list()->geometry();
    const QRect extract0 = extractButton()->geometry(), path0 = pathBox()->geometry();
    const QRect status0 = statusBox()->geometry(), unpack0 = unpack()->geometry();
    for (const QSize extra : {QSize(300, 200), QSize(0, 50), QSize(40, 0), QSize(0, 0)}) {
        SCOPED_TRACE(extra.width() * 1000 + extra.height());
        window->resize(start + extra);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == start + extra; }));
        EXPECT_EQ(tree()->width() + list()->width(), tree0.width() + list0.width() + extra.width());
        EXPECT_GE(tree()->width(), tree0.width());
        EXPECT_GE(list()->width(), list0.width());
        EXPECT_EQ(tree()->height(), tree0.height() + extra.height());
        EXPECT_EQ(list()->height(), list0.height() + extra.height());
        EXPECT_EQ(extractButton()->geometry(), extract0.translated(0, extra.height()));
        EXPECT_EQ(pathBox()->geometry(), path0.translated(extra.width(), extra.height()));
        EXPECT_EQ(unpack()->geometry(), unpack0.translated(extra.width(), extra.height()));
        EXPECT_EQ(statusBox()->geometry(),
                  status0.translated(0, extra.height()).adjusted(0, 0, extra.width(), 0));
    }
    EXPECT_EQ(tree()->geometry(), du.rect(0, 0, 105, 195));
    EXPECT_EQ(list()->geometry(), du.rect(105, 0, 255, 195));
    window->resize(start - QSize(50, 50));  // no smaller than at the start
    EXPECT_EQ(window->size(), start);
}

// The splitter between the tree and the list moves the boundary, for long names or deep trees.
TEST_F(MainWindowTest, TheSplitterMovesTheBoundaryBetweenTreeAndList) {
    StartCancelled();
    auto* splitter = control<QSplitter>("splitter");
    ASSERT_NE(splitter, nullptr);
    const int total = tree()->width() + list()->width();
    splitter->setSizes({total / 2, total - total / 2});
    EXPECT_EQ(tree()->width(), total / 2);
    EXPECT_EQ(list()->x(), tree()->geometry().right() + 1);
}

TEST_F(MainWindowTest, EmptyListSaysHowToGoOnUntilAnArchiveIsOpen) {
    StartCancelled();
    EXPECT_EQ(list()->placeholderText(), "Open an archive with Ctrl+O, or drop one here.");
    const auto path = work.write("game.dat", datwriter::BuildDat({Make("A\\B", "x")}));
    window->OpenAnotherArchive(path);
    EXPECT_EQ(list()->placeholderText(), "");
}

TEST_F(MainWindowTest, EscapeCloses) {
    StartCancelled();
    QTest::keyClick(tree(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, EnterClosesUnlessAPushButtonHasTheFocus) {
    StartCancelled();
    dialogs.messages.clear();
    versionButton()->setFocus();
    QTest::keyClick(versionButton(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dialogs.messages, Strings{kVersionText});

    preservePaths()->setFocus();
    QTest::keyClick(preservePaths(), Qt::Key_Enter);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(MainWindowTest, EnterOnExtractPressesIt) {
    Start({Make("D\\A", "a")});
    selectFolder({"D"});
    clickRow(0);
    ASSERT_TRUE(extractButton()->isEnabled());
    extractButton()->setFocus();
    QTest::keyClick(extractButton(), Qt::Key_Return);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);  // scripted: cancelled
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, EnterInTheTreeCloses) {
    Start({Make("D\\A", "a")});
    selectFolder({"D"});
    QTest::keyClick(tree(), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace tarvix
