#include <QApplication>
#include <QTimer>
#include <map>

#include "frm_writer.h"
#include "ui/line_numbered_text.h"
#include "ui/preview_window.h"
#include "window_fixture.h"

// Waits for a condition and fails the test, not only Qt's log, when it does not come.
#define WAIT_FOR(condition) \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); })) << #condition

namespace tarvix {
namespace {

using datwriter::Make;

std::string SmallFrm() {
    frmwriter::Frm frm;
    frm.directions = {{frmwriter::Draw(2, 2, [](int x, int y) { return 1 + x + y; })}};
    return frmwriter::BuildFrm(frm);
}

class PreviewWindowTest : public test::WindowFixture {
protected:
    PreviewWindow* viewer() const { return window->findChild<PreviewWindow*>(); }
    bool viewerShows(const QString& title) const {
        return viewer() && viewer()->isVisible() && viewer()->windowTitle() == title;
    }
};

// The list is sorted: A.TXT, B.FRM, C.BIN.
TEST_F(PreviewWindowTest, FollowsTheListWhileTheKeyboardStaysThere) {
    Start({Make("D\\C.BIN", std::string("\x00\x01\x02", 3)), Make("D\\A.TXT", "hello\r\n"),
           Make("D\\B.FRM", SmallFrm())});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
    clickRow(0);
    list()->setFocus();
    WAIT_FOR(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_F3);
    WAIT_FOR(viewerShows("D\\A.TXT"));
    EXPECT_TRUE(viewer()->statusText().endsWith("text (Windows-1252)"))
        << viewer()->statusText().toStdString();
    WAIT_FOR(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_Down);
    WAIT_FOR(viewerShows("D\\B.FRM"));
    EXPECT_TRUE(viewer()->statusText().contains("FRM, 1 direction(s)"));
    QTest::keyClick(list(), Qt::Key_Down);
    WAIT_FOR(viewerShows("D\\C.BIN"));
    EXPECT_TRUE(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_F3);
    WAIT_FOR(!viewer()->isVisible());
    EXPECT_TRUE(window->isVisible());  // F3 is not Escape: the main window stays
}

struct PaletteCase {
    const char* what;
    std::vector<datwriter::Entry> others;
    const char* colours;
};

// Frames take their colours from COLOR.PAL at the archive's top only, in any case of letters,
// and only from one that holds 256 colours.
TEST_F(PreviewWindowTest, FramesUseTheArchivesOwnPaletteWhenItHasOne) {
    const std::string palette(768, '\x10');
    const std::vector<PaletteCase> cases = {
        {"at the top", {Make("COLOR.PAL", palette)}, "colours of the archive's COLOR.PAL"},
        {"lower case", {Make("color.pal", palette)}, "colours of the archive's COLOR.PAL"},
        {"only in a folder", {Make("ART\\COLOR.PAL", palette)}, "grey levels"},
        {"too short", {Make("COLOR.PAL", palette.substr(1))}, "grey levels"},
        {"none", {}, "grey levels"},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<datwriter::Entry> entries = c.others;
        entries.push_back(Make("D\\B.FRM", SmallFrm()));
        Start(entries);
        ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
        clickRow(0);
        QTest::keyClick(list(), Qt::Key_F3);
        WAIT_FOR(viewerShows("D\\B.FRM"));
        EXPECT_TRUE(viewer()->statusText().endsWith(QString::fromLatin1(c.colours)))
            << viewer()->statusText().toStdString();
        window.reset();
    }
}

TEST_F(PreviewWindowTest, EscapeInTheViewerClosesOnlyTheViewer) {
    Start({Make("D\\A.TXT", "hello")});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
    clickRow(0);
    QTest::keyClick(list(), Qt::Key_F3);
    WAIT_FOR(viewerShows("D\\A.TXT"));
    QTest::keyClick(viewer(), Qt::Key_Escape);
    WAIT_FOR(!viewer()->isVisible());
    EXPECT_TRUE(window->isVisible());
}

// The keyboard stays in the main window while the viewer or the find window is open, so an
// Escape meant for one of them reaches the main window: it closes them one at a time, the
// viewer first, and only an Escape with neither open ends the program.
TEST_F(PreviewWindowTest, EscapeInTheMainWindowClosesAnOpenToolWindowFirst) {
    const struct {
        const char* label;
        bool viewer;
        bool find;
        int escapesBeforeTheEnd;
    } cases[] = {
        {"viewer", true, false, 1},
        {"find window", false, true, 1},
        {"both", true, true, 2},
        {"neither", false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Start({Make("D\\A.TXT", "hello")});
        ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
        clickRow(0);
        if (c.find) window->OpenFindWindow();
        if (c.viewer) {
            QTest::keyClick(list(), Qt::Key_F3);
            WAIT_FOR(viewerShows("D\\A.TXT"));
        }
        for (int i = 0; i < c.escapesBeforeTheEnd; ++i) {
            QTest::keyClick(list(), Qt::Key_Escape);
            EXPECT_TRUE(window->isVisible()) << i;
        }
        if (c.viewer) {
            EXPECT_FALSE(viewer()->isVisible());
        }
        QTest::keyClick(list(), Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), QDialog::Rejected);
    }
}

// The list's context menu offers "Extract..." beside "View", as the Extract button does, for
// the selected rows only.
TEST_F(PreviewWindowTest, TheListsContextMenuExtractsTheSelectedRows) {
    Start({Make("D\\A.TXT", "a"), Make("D\\B.TXT", "b")});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
    const auto menuTexts = [this] {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* menu = QApplication::activePopupWidget();
            if (!menu) return;
            for (QAction* action : menu->actions()) {
                if (action->isEnabled()) texts << action->text();
            }
            menu->close();
        });
        QTest::keyClick(list(), Qt::Key_F10, Qt::ShiftModifier);
        return texts;
    };
    list()->setFocus();
    EXPECT_FALSE(menuTexts().contains("&Extract..."));
    clickRow(1);
    EXPECT_TRUE(menuTexts().contains("&Extract..."));

    const auto dest = work / "dest";
    std::filesystem::create_directory(dest);
    dialogs.answerSave(dest / "x");
    window->findChild<QAction*>("extractRows")->trigger();
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    EXPECT_EQ(test::Snapshot(dest), (std::map<std::string, std::string>{{"B.TXT", "b"}}));
}

// Another folder's files replace the list and with it the selection, silently: "Extract..."
// must not stay on for rows that are gone.
TEST_F(PreviewWindowTest, TheListsExtractIsOffOnceAnotherFolderIsListed) {
    Start({Make("D\\A.TXT", "a"), Make("E\\B.TXT", "b")});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
    clickRow(0);
    auto* extractRows = window->findChild<QAction*>("extractRows");
    ASSERT_NE(extractRows, nullptr);
    EXPECT_TRUE(extractRows->isEnabled());
    ASSERT_NO_FATAL_FAILURE(selectFolder({"E"}));
    EXPECT_FALSE(extractRows->isEnabled());
}

// A long text arrives in slices cut at line breaks; the result must be the text itself, with
// "\r\n" counted as one break wherever a cut falls.
TEST(LineNumberedTextTest, LongTextAppendedInSlicesIsTheWholeText) {
    for (const QString& newline : {QStringLiteral("\n"), QStringLiteral("\r\n")}) {
        QString text;
        QStringList lines;
        for (int i = 0; text.size() < 600 * 1024; ++i) {
            lines << QStringLiteral("line %1 of a long message file").arg(i);
            text += lines.back() + newline;
        }
        LineNumberedText view;
        view.showText(text);
        EXPECT_FALSE(view.isComplete());
        WAIT_FOR(view.isComplete());
        EXPECT_EQ(view.document()->blockCount(), lines.size() + 1);  // after the last break
        EXPECT_EQ(view.toPlainText(), lines.join(u'\n') + u'\n');
    }
}

TEST(LineNumberedTextTest, ANewTextDropsTheSlicesOfTheLastOne) {
    LineNumberedText view;
    view.showText(QString(400 * 1024, u'x').replace(40, 1, u'\n'));  // cut once, near the front
    view.showText(QStringLiteral("short"));
    EXPECT_TRUE(view.isComplete());
    QTest::qWait(0);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("short"));
}

}  // namespace
}  // namespace tarvix
