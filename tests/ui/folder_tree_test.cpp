#include <QHeaderView>
#include <QScrollBar>

#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

struct DeepCase {
    const char* name;
    int depth;
    const char* folderPrefix;  // folder n is named prefix + n
};

void PrintTo(const DeepCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<QString> FolderNames(const DeepCase& c) {
    std::vector<QString> names;
    for (int level = 1; level <= c.depth; ++level) {
        names.push_back(QString::fromLatin1(c.folderPrefix) + QString::number(level));
    }
    return names;
}

// One file at the bottom of a chain of folders.
datwriter::Entry DeepFile(const DeepCase& c) {
    QString path;
    for (const QString& folder : FolderNames(c)) path += folder + '\\';
    return Make((path + "DEEP.TXT").toStdString(), "deep");
}

class DeepFoldersTest : public test::WindowFixture, public ::testing::WithParamInterface<DeepCase> {
protected:
    // From the top, as a person walks down: Down onto the first folder, then Right to open
    // each folder and Down onto its subfolder.
    void walkToTheBottom(int depth) {
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_Down);
        for (int level = 1; level < depth; ++level) {
            QTest::keyClick(tree(), Qt::Key_Right);
            QTest::keyClick(tree(), Qt::Key_Down);
        }
    }

    QStringList selectedNames() const {
        QStringList names;
        for (const QModelIndex& index : tree()->selectionModel()->selectedIndexes())
            names << index.data().toString();
        return names;
    }
};

TEST_P(DeepFoldersTest, KeyboardWalkSelectsTheDeepestFolderAndShowsIt) {
    Start({DeepFile(GetParam())});
    walkToTheBottom(GetParam().depth);

    const std::vector<QString> folders = FolderNames(GetParam());
    EXPECT_EQ(selectedNames(), QStringList{folders.back()});
    EXPECT_EQ(listTexts(), QStringList{"DEEP.TXT"});
    EXPECT_EQ(pathBox()->text(), QStringList(folders.begin(), folders.end()).join('\\'));
    // The selected folder's name starts inside the view, however deep it is, and shows in full
    // when the view is wide enough.
    const QRect name = tree()->visualRect(tree()->currentIndex());
    const int viewWidth = tree()->viewport()->width();
    EXPECT_TRUE(tree()->viewport()->rect().contains(name.topLeft()))
        << name.x() << " in a view " << viewWidth << " wide";
    const int nameWidth = tree()->sizeHintForIndex(tree()->currentIndex()).width();
    if (nameWidth <= viewWidth) {
        EXPECT_LE(name.left() + nameWidth, viewWidth);
    }
}

TEST_P(DeepFoldersTest, OpenTreeWiderThanTheViewScrollsSideways) {
    Start({DeepFile(GetParam())});
    tree()->expandAll();
    QScrollBar* bar = tree()->horizontalScrollBar();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }));
    ASSERT_GT(bar->maximum(), 0);

    // Scrolled to the right end, the deepest name ends inside the view.
    bar->setValue(bar->maximum());
    QModelIndex deepest = tree()->model()->index(0, 0);
    while (tree()->model()->rowCount(deepest) > 0) deepest = tree()->model()->index(0, 0, deepest);
    const int nameEnd = tree()->visualRect(deepest).left() +
                        tree()->fontMetrics().horizontalAdvance(deepest.data().toString());
    EXPECT_LE(nameEnd, tree()->viewport()->width());
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DeepFoldersTest,
    ::testing::Values(DeepCase{"TenShortNames", 10, "D"},
                      // a name narrower than the view, but not with its expand mark
                      DeepCase{"FortyNamesNearlyAsWideAsTheView", 40, "LONGER_FOLDER_NAME_"},
                      DeepCase{"FiftyLongNames", 50, "A_RATHER_LONG_FOLDER_NAME_"}),
    [](const ::testing::TestParamInfo<DeepCase>& info) { return info.param.name; });

class NarrowTreeTest : public test::WindowFixture {};

// Rows deeper than the column is wide lie outside it; a keyboard move onto one still selects
// it and keeps it selected.
TEST_F(NarrowTreeTest, KeyboardMoveOntoARowPastTheColumnKeepsItSelected) {
    Start({Make("A\\B\\C\\D\\E\\F.TXT", "f")});
    tree()->header()->setSectionResizeMode(QHeaderView::Fixed);
    tree()->header()->resizeSection(0, 10);
    tree()->expandAll();
    tree()->setFocus();  // makes A the current folder
    for (const QString expected : {"B", "C", "D", "E"}) {
        QTest::keyClick(tree(), Qt::Key_Down);
        EXPECT_EQ(tree()->currentIndex().data().toString(), expected);
        EXPECT_TRUE(tree()->selectionModel()->isSelected(tree()->currentIndex()))
            << expected.toStdString();
    }
    EXPECT_EQ(listTexts(), QStringList{"F.TXT"});
}

// The ways a person could deselect the selected folder; each leaves it selected.
struct DeselectAttempt {
    const char* name;
    void (*attempt)(QTreeView* tree, const QModelIndex& selected);
};

void PrintTo(const DeselectAttempt& a, std::ostream* os) {
    *os << a.name;
}

class SelectedFolderTest : public test::WindowFixture,
                           public ::testing::WithParamInterface<DeselectAttempt> {};

TEST_P(SelectedFolderTest, StaysSelected) {
    Start({Make("ART\\A.FRM", "a"), Make("ART\\B.FRM", "b"), Make("SOUND\\C.ACM", "c")});
    selectFolder({"ART"});
    const QModelIndex art = tree()->currentIndex();
    GetParam().attempt(tree(), art);
    EXPECT_TRUE(tree()->selectionModel()->isSelected(art));
    EXPECT_EQ(tree()->currentIndex(), art);
    EXPECT_EQ(listTexts(), (QStringList{"A.FRM", "B.FRM"}));
    EXPECT_EQ(pathBox()->text(), "ART");
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, SelectedFolderTest,
    ::testing::Values(DeselectAttempt{"CtrlClick",
                                      [](QTreeView* tree, const QModelIndex& selected) {
                                          QTest::mouseClick(tree->viewport(), Qt::LeftButton,
                                                            Qt::ControlModifier,
                                                            tree->visualRect(selected).center());
                                      }},
                      DeselectAttempt{"CtrlSpace",
                                      [](QTreeView* tree, const QModelIndex&) {
                                          tree->setFocus();
                                          QTest::keyClick(tree, Qt::Key_Space, Qt::ControlModifier);
                                      }},
                      DeselectAttempt{"ClickBesideEveryFolder",
                                      [](QTreeView* tree, const QModelIndex&) {
                                          QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                                                            tree->viewport()->rect().bottomRight() -
                                                                QPoint(2, 2));
                                      }},
                      DeselectAttempt{"CtrlClickBesideEveryFolder",
                                      [](QTreeView* tree, const QModelIndex&) {
                                          QTest::mouseClick(tree->viewport(), Qt::LeftButton,
                                                            Qt::ControlModifier,
                                                            tree->viewport()->rect().bottomRight() -
                                                                QPoint(2, 2));
                                      }}),
    [](const ::testing::TestParamInfo<DeselectAttempt>& info) { return info.param.name; });

}  // namespace
}  // namespace tarvix
