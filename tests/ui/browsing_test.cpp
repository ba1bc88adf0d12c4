#include <QApplication>
#include <QMouseEvent>

#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

datwriter::Entry Sized(const std::string& name, std::uint32_t real, std::uint32_t packedBytes) {
    auto e = Make(name, std::string(packedBytes, 'p'));
    e.realSize = real;
    return e;
}

QString Summary(int selected, int rows, unsigned long long real, unsigned long long packed) {
    return QString("%1 of %2 file(s) selected, real_size:%3, packed_size:%4")
        .arg(selected)
        .arg(rows)
        .arg(real)
        .arg(packed);
}

class BrowsingTest : public test::WindowFixture {};

// Directory: 0 in X\Y, 1 in X, 2 at the top named Z, 3 in X\Y.
TEST_F(BrowsingTest, TreeAndListsOfTheInterleavedExample) {
    Start({Make("X\\Y\\first", "0"), Make("X\\second", "1"), Make("Z", "2"),
           Make("X\\Y\\fourth", "3")});
    const auto* model = tree()->model();
    ASSERT_EQ(model->rowCount(), 2);
    const QModelIndex x = model->index(0, 0);
    const QModelIndex z = model->index(1, 0);
    EXPECT_EQ(x.data().toString(), "X");
    EXPECT_EQ(z.data().toString(), "Z");
    ASSERT_EQ(model->rowCount(x), 1);
    const QModelIndex y = model->index(0, 0, x);
    EXPECT_EQ(y.data().toString(), "Y");
    EXPECT_EQ(x.data(Qt::UserRole).toUInt(), 0u);
    EXPECT_EQ(y.data(Qt::UserRole).toUInt(), 0u);
    EXPECT_EQ(z.data(Qt::UserRole).toUInt(), 2u);

    selectFolder({"X", "Y"});
    EXPECT_EQ(listTexts(), (QStringList{"first", "fourth"}));
    EXPECT_EQ(pathBox()->text(), "X\\Y");
    EXPECT_EQ(status(), Summary(0, 2, 0, 0));

    selectFolder({"X"});
    EXPECT_EQ(listTexts(), QStringList{"second"});
    selectFolder({"Z"});
    EXPECT_EQ(listTexts(), QStringList{"Z"});
    EXPECT_EQ(pathBox()->text(), "Z");
}

TEST_F(BrowsingTest, FolderWhoseFilesAllLieInSubfoldersListsNothing) {
    Start({Make("A\\B\\f1", "1"), Make("A\\B\\f2", "2")});
    selectFolder({"A"});
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_EQ(status(), Summary(0, 0, 0, 0));
    EXPECT_EQ(pathBox()->text(), "A");
}

TEST_F(BrowsingTest, SameNamesUnderDifferentParentsAndAFileNamedLikeAFolder) {
    Start({Make("A\\SUB\\a1", "1"), Make("B\\SUB\\b1", "2"), Make("A", "3"),
           Make("A\\SUB\\a2", "4")});
    selectFolder({"B", "SUB"});
    EXPECT_EQ(listTexts(), QStringList{"b1"});
    EXPECT_EQ(pathBox()->text(), "B\\SUB");
    selectFolder({"A", "SUB"});
    EXPECT_EQ(listTexts(), (QStringList{"a1", "a2"}));
    selectFolder({"A"});
    EXPECT_EQ(listTexts(), QStringList{"A"});
    EXPECT_EQ(tree()->model()->rowCount(), 2);
}

TEST_F(BrowsingTest, EmptyAndDeepComponentsShowAsTheirOwnNodes) {
    Start({Make("\\LEAD\\f", "1"), Make("A\\\\B\\g", "2"),
           Make("1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\deep", "3")});
    selectFolder({"", "LEAD"});
    EXPECT_EQ(pathBox()->text(), "\\LEAD");
    EXPECT_EQ(listTexts(), QStringList{"f"});
    selectFolder({"A", "", "B"});
    EXPECT_EQ(pathBox()->text(), "A\\\\B");
    EXPECT_EQ(listTexts(), QStringList{"g"});
    selectFolder({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    EXPECT_EQ(listTexts(), QStringList{"deep"});
}

TEST_F(BrowsingTest, ListIsSortedByTextAndShowsWindows1252NamesAsUnicode) {
    Start({Make("D\\b.txt", "1"), Make("D\\C.TXT", "2"), Make("D\\a.txt", "3"),
           Make("D\\B.TXT", "4"), Make("D\\\xC9T\xC9.TXT", "5")});
    selectFolder({"D"});
    EXPECT_EQ(listTexts(),
              (QStringList{"a.txt", "B.TXT", "b.txt", "C.TXT", QString::fromUtf8("ÉTÉ.TXT")}));
}

TEST_F(BrowsingTest, ColumnsAreAsWideAsTheLongestName) {
    Start({Make("D\\A", "1"), Make("D\\B_MUCH_LONGER_THAN_THE_FIRST.TXT", "2")});
    selectFolder({"D"});
    const int needed = list()->fontMetrics().horizontalAdvance("B_MUCH_LONGER_THAN_THE_FIRST.TXT");
    EXPECT_GE(list()->visualRect(list()->model()->index(0, 0)).width(), needed);
}

TEST_F(BrowsingTest, MouseSelectionRewritesTheSummaryAndTheButton) {
    Start({Sized("D\\A", 100, 10), Sized("D\\B", 200, 20), Sized("D\\C", 400, 40),
           Sized("D\\E", 800, 80)});
    selectFolder({"D"});
    EXPECT_FALSE(extractButton()->isEnabled());

    clickRow(1);
    EXPECT_EQ(status(), Summary(1, 4, 200, 20));
    EXPECT_TRUE(extractButton()->isEnabled());
    EXPECT_EQ(pathBox()->text(), "D");

    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(status(), Summary(2, 4, 1000, 100));

    clickRow(1, Qt::ControlModifier);  // toggles B off again
    EXPECT_EQ(status(), Summary(1, 4, 800, 80));

    clickRow(0);
    clickRow(2, Qt::ShiftModifier);
    EXPECT_EQ(status(), Summary(3, 4, 700, 70));

    clickEmptySpace();
    EXPECT_EQ(status(), Summary(0, 4, 0, 0));
    EXPECT_FALSE(extractButton()->isEnabled());
}

TEST_F(BrowsingTest, KeyboardSelectionRewritesTheSummaryAndTheButton) {
    Start({Sized("D\\A", 1, 1), Sized("D\\B", 2, 2), Sized("D\\C", 4, 4)});
    selectFolder({"D"});
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::SelectAll);
    EXPECT_EQ(status(), Summary(3, 3, 7, 7));
    EXPECT_TRUE(extractButton()->isEnabled());

    QTest::keyClick(list(), Qt::Key_End);
    EXPECT_EQ(status(), Summary(1, 3, 4, 4));
    QTest::keyClick(list(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(status(), Summary(2, 3, 6, 6));
    QTest::keyClick(list(), Qt::Key_Space, Qt::ControlModifier);  // toggles the current row off
    EXPECT_EQ(status(), Summary(1, 3, 4, 4));
}

TEST_F(BrowsingTest, SwitchingFoldersKeepsTheButtonAndRewritesTheSummary) {
    Start({Sized("ONE\\A", 5, 5), Sized("TWO\\B", 6, 6), Sized("TWO\\C", 7, 7)});
    selectFolder({"ONE"});
    clickRow(0);
    ASSERT_TRUE(extractButton()->isEnabled());
    selectFolder({"TWO"});
    EXPECT_TRUE(extractButton()->isEnabled());
    EXPECT_EQ(status(), Summary(0, 2, 0, 0));
    EXPECT_EQ(pathBox()->text(), "TWO");
}

// Nothing is selected in the new folder, so the click changes no selection; it still
// settles the button.
TEST_F(BrowsingTest, ClickOnEmptySpaceAfterSwitchingFoldersDisablesExtract) {
    Start({Sized("ONE\\A", 5, 5), Sized("TWO\\B", 6, 6)});
    selectFolder({"ONE"});
    clickRow(0);
    selectFolder({"TWO"});
    ASSERT_TRUE(extractButton()->isEnabled());
    clickEmptySpace();
    EXPECT_FALSE(extractButton()->isEnabled());
    EXPECT_EQ(status(), Summary(0, 1, 0, 0));
}

// Dragging across the list selects as it goes, and the summary follows.
TEST_F(BrowsingTest, DragSelectionRewritesTheSummary) {
    Start({Sized("D\\A", 1, 1), Sized("D\\B", 2, 2), Sized("D\\C", 4, 4)});
    selectFolder({"D"});
    const auto centre = [&](int row) {
        return list()->visualRect(list()->model()->index(row, 0)).center();
    };
    QTest::mousePress(list()->viewport(), Qt::LeftButton, {}, centre(0));
    QMouseEvent move(QEvent::MouseMove, centre(1), list()->viewport()->mapToGlobal(centre(1)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &move);
    EXPECT_EQ(status(), Summary(2, 3, 3, 3));
    QTest::mouseRelease(list()->viewport(), Qt::LeftButton, {}, centre(1));
    EXPECT_EQ(status(), Summary(2, 3, 3, 3));
    EXPECT_TRUE(extractButton()->isEnabled());
}

TEST_F(BrowsingTest, SumsDoNotWrapAt32Bits) {
    auto big1 = Sized("D\\A", 0xFFFFFFFF, 1);
    auto big2 = Sized("D\\B", 0xFFFFFFFF, 1);
    big1.packedSize = 0xF0000000;  // lies about its size; browsing does not read data
    big2.packedSize = 0xF0000000;
    Start({big1, big2});
    selectFolder({"D"});
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::SelectAll);
    EXPECT_EQ(status(), Summary(2, 2, 8589934590ull, 8053063680ull));
}

TEST_F(BrowsingTest, ClickInAnEmptyListBeforeAnyFolderGivesZeros) {
    Start({Make("D\\A", "a")});
    clickEmptySpace();
    EXPECT_EQ(pathBox()->text(), "");
    EXPECT_EQ(status(), Summary(0, 0, 0, 0));
    EXPECT_FALSE(extractButton()->isEnabled());
}

TEST_F(BrowsingTest, ArchiveWithNoEntriesShowsNothing) {
    Start({});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(tree()->model()->rowCount(), 0);
    EXPECT_EQ(list()->model()->rowCount(), 0);
}

}  // namespace
}  // namespace tarvix
