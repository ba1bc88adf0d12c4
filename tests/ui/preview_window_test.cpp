#include <QApplication>

#include "frm_writer.h"
#include "ui/preview_window.h"
#include "window_fixture.h"

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
    QTRY_VERIFY(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_F3);
    QTRY_VERIFY(viewerShows("D\\A.TXT"));
    EXPECT_TRUE(viewer()->statusText().endsWith("text (Windows-1252)"))
        << viewer()->statusText().toStdString();
    QTRY_VERIFY(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_Down);
    QTRY_VERIFY(viewerShows("D\\B.FRM"));
    EXPECT_TRUE(viewer()->statusText().contains("FRM, 1 direction(s)"));
    QTest::keyClick(list(), Qt::Key_Down);
    QTRY_VERIFY(viewerShows("D\\C.BIN"));
    EXPECT_TRUE(list()->hasFocus());

    QTest::keyClick(list(), Qt::Key_F3);
    QTRY_VERIFY(!viewer()->isVisible());
    EXPECT_TRUE(window->isVisible());  // F3 is not Escape: the main window stays
}

TEST_F(PreviewWindowTest, EscapeInTheViewerClosesOnlyTheViewer) {
    Start({Make("D\\A.TXT", "hello")});
    ASSERT_NO_FATAL_FAILURE(selectFolder({"D"}));
    clickRow(0);
    QTest::keyClick(list(), Qt::Key_F3);
    QTRY_VERIFY(viewerShows("D\\A.TXT"));
    QTest::keyClick(viewer(), Qt::Key_Escape);
    QTRY_VERIFY(!viewer()->isVisible());
    EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace tarvix
