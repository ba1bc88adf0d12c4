#include <QHeaderView>
#include <QScrollBar>

#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

// A chain of folders named prefix + level, with one file at the bottom.
struct Chain {
    const char* name;
    int depth;
    const char* prefix;
};

void PrintTo(const Chain& c, std::ostream* os) {
    *os << c.name;
}

class DeepFoldersTest : public test::WindowFixture, public ::testing::WithParamInterface<Chain> {};

// Down onto the first folder, then Right to open each folder and Down onto its subfolder.
TEST_P(DeepFoldersTest, KeyboardWalkSelectsTheDeepestFolderAndScrollsToIt) {
    QString path;
    for (int level = 1; level <= GetParam().depth; ++level)
        path += GetParam().prefix + QString::number(level) + '\\';
    Start({Make((path + "DEEP.TXT").toStdString(), "deep")});
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Down);
    for (int level = 1; level < GetParam().depth; ++level) {
        QTest::keyClick(tree(), Qt::Key_Right);
        QTest::keyClick(tree(), Qt::Key_Down);
    }
    EXPECT_EQ(pathBox()->text(), path.chopped(1));
    EXPECT_EQ(listTexts(), QStringList{"DEEP.TXT"});
    // The name starts inside the view, and ends there too unless it is wider than the view.
    EXPECT_GT(tree()->horizontalScrollBar()->maximum(), 0);
    const QRect name = tree()->visualRect(tree()->currentIndex());
    const int nameWidth = tree()->sizeHintForIndex(tree()->currentIndex()).width();
    const int viewWidth = tree()->viewport()->width();
    EXPECT_GE(name.left(), 0);
    EXPECT_LE(name.left() + std::min(nameWidth, viewWidth), viewWidth);
}

INSTANTIATE_TEST_SUITE_P(Depths, DeepFoldersTest,
                         ::testing::Values(Chain{"TenShortNames", 10, "D"},
                                           // each name fits the view, but not with its mark
                                           Chain{"FortyLongNames", 40, "LONGER_FOLDER_NAME_"},
                                           Chain{"FiftyNamesWiderThanTheView", 50,
                                                 "A_RATHER_LONG_FOLDER_NAME_"}),
                         [](const auto& info) { return info.param.name; });

class FolderTreeTest : public test::WindowFixture {};

// Rows that reach past the column lie outside it; a keyboard move onto one still selects it.
TEST_F(FolderTreeTest, KeyboardMoveOntoARowPastTheColumnSelectsIt) {
    Start({Make("A\\B\\C\\D\\E\\F.TXT", "f")});
    tree()->header()->setSectionResizeMode(QHeaderView::Fixed);
    tree()->header()->resizeSection(0, 10);
    tree()->expandAll();
    tree()->setFocus();  // A becomes the current folder
    for (int moves = 0; moves < 4; ++moves) QTest::keyClick(tree(), Qt::Key_Down);
    EXPECT_EQ(listTexts(), QStringList{"F.TXT"});
}

TEST_F(FolderTreeTest, SelectedFolderCannotBeDeselected) {
    Start({Make("ART\\A.FRM", "a"), Make("SOUND\\C.ACM", "c")});
    selectFolder({"ART"});
    const QPoint onArt = tree()->visualRect(tree()->currentIndex()).center();
    const QPoint besideAll = tree()->viewport()->rect().bottomRight() - QPoint(2, 2);
    for (const auto& [modifiers, at] : std::vector<std::pair<Qt::KeyboardModifiers, QPoint>>{
             {Qt::ControlModifier, onArt}, {{}, besideAll}, {Qt::ControlModifier, besideAll}}) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, modifiers, at);
        EXPECT_EQ(pathBox()->text(), "ART") << at.x() << "," << at.y();
    }
    QTest::keyClick(tree(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(pathBox()->text(), "ART");
    EXPECT_EQ(listTexts(), QStringList{"A.FRM"});
}

}  // namespace
}  // namespace tarvix
