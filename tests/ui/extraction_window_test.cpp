#include <QTimer>
#include <map>

#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;
using test::Snapshot;

class ExtractionWindowTest : public test::WindowFixture {
protected:
    void SetUp() override { std::filesystem::create_directory(dest()); }
    std::filesystem::path dest() const { return work / "dest"; }
};

TEST_F(ExtractionWindowTest, ThreeSelectedRowsBecomeThreeFiles) {
    Start({Make("D\\C.TXT", "c"), Make("D\\A.TXT", "a"), Make("D\\B.TXT", "b"),
           Make("D\\Z.TXT", "z")});
    selectFolder({"D"});
    clickRow(1);
    clickRow(3, Qt::ShiftModifier);  // B, C, Z
    dialogs.answerSave(dest() / "typed name is ignored");
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(FinishBatch());

    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "Choose path to extract files to..");
    EXPECT_EQ(dialogs.saveRequests[0].suggestedName, "B.TXT");
    EXPECT_EQ(Snapshot(dest()),
              (std::map<std::string, std::string>{{"B.TXT", "b"}, {"C.TXT", "c"}, {"Z.TXT", "z"}}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExtractionWindowTest, PreservedPathsGoBelowTheChosenFolder) {
    Start({Make("ART\\CRIT\\A.FRM", "a"), Make("ART\\CRIT\\B.FRM", "b")});
    selectFolder({"ART", "CRIT"});
    QTest::mouseClick(preservePaths(), Qt::LeftButton);
    ASSERT_TRUE(preservePaths()->isChecked());
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::SelectAll);
    dialogs.answerSave(dest() / "x");
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"ART", "<dir>"},
                                                                    {"ART/CRIT", "<dir>"},
                                                                    {"ART/CRIT/A.FRM", "a"},
                                                                    {"ART/CRIT/B.FRM", "b"}}));
}

TEST_F(ExtractionWindowTest, CancelWritesNothing) {
    Start({Make("D\\A", "a")});
    selectFolder({"D"});
    clickRow(0);
    dialogs.cancelSave();
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dest()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExtractionWindowTest, DoubleClickOnEmptySpaceAsksWithAnEmptyNameAndWritesNothing) {
    Start({Make("D\\A", "a")});
    selectFolder({"D"});
    dialogs.answerSave(dest() / "anything");
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {},
                       list()->viewport()->rect().bottomRight() - QPoint(3, 3));
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].suggestedName, "");
    EXPECT_TRUE(std::filesystem::is_empty(dest()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ExtractionWindowTest, DoubleClickOnARowExtractsIt) {
    Start({Make("D\\A", "a"), Make("D\\B", "b")});
    selectFolder({"D"});
    dialogs.answerSave(dest() / "anything");
    const QRect row = list()->visualRect(list()->model()->index(1, 0));
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"B", "b"}}));
}

TEST_F(ExtractionWindowTest, FailuresAreReportedOnceAfterTheBatch) {
    auto broken = Make("D\\BROKEN", "zz");
    broken.offset = 5000;
    Start({Make("D\\A", "a"), broken, Make("D\\..", "dots"), Make("D\\C", "c")});
    selectFolder({"D"});
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::SelectAll);
    dialogs.answerSave(dest() / "x");
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              "2 of 4 file(s) could not be extracted:\nCannot write D\\..\n"
              "D\\BROKEN: Cannot read DAT file");
    EXPECT_EQ(Snapshot(dest()), (std::map<std::string, std::string>{{"A", "a"}, {"C", "c"}}));
}

// Closing the window while a batch runs cancels the batch, waits for it, and then closes: the
// file being written is removed and no report is shown.
TEST_F(ExtractionWindowTest, ClosingDuringABatchCancelsItAndWaits) {
    Start({Make("D\\HUGE", std::string(std::size_t{64} << 20, 'h'))});
    selectFolder({"D"});
    clickRow(0);
    dialogs.answerSave(dest() / "x");
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    ASSERT_TRUE(window->extracting());
    window->close();
    EXPECT_TRUE(window->isVisible());  // still shown until the batch has stopped
    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(Snapshot(dest()).empty());
}

// While a batch runs, every command that would start another or replace the archive it reads
// is disabled, and the ways around the controls are refused by the job and the session.
TEST_F(ExtractionWindowTest, CommandsThatMustWaitAreRefusedWhileABatchRuns) {
    Start({Make("D\\HUGE", std::string(std::size_t{64} << 20, 'h')), Make("D\\SMALL", "s")});
    const std::filesystem::path other =
        work.write("other.dat", datwriter::BuildDat({Make("E\\F", "f")}));
    selectFolder({"D"});
    clickRow(0);
    dialogs.answerSave(dest() / "x");
    QTest::mouseClick(extractButton(), Qt::LeftButton);
    ASSERT_TRUE(window->extracting());
    const QString title = window->windowTitle();

    const auto actionNamed = [this](const char* name) {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    };
    EXPECT_FALSE(extractButton()->isEnabled());
    EXPECT_FALSE(window->acceptDrops());
    ASSERT_NE(actionNamed("extractRows"), nullptr);
    EXPECT_FALSE(actionNamed("extractRows")->isEnabled());
    for (QAction* action : window->actions()) EXPECT_FALSE(action->isEnabled());  // Ctrl+O

    // Straight past the controls: a second double-click asks nothing, another archive is not
    // taken while the batch reads this one.
    const QRect row = list()->visualRect(list()->model()->index(1, 0));
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, row.center());
    window->OpenAnotherArchive(other);
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);

    ASSERT_NO_FATAL_FAILURE(FinishBatch());
    EXPECT_TRUE(extractButton()->isEnabled());
    EXPECT_TRUE(window->acceptDrops());
    EXPECT_EQ(
        Snapshot(dest()),
        (std::map<std::string, std::string>{{"HUGE", std::string(std::size_t{64} << 20, 'h')}}));
    window->OpenAnotherArchive(other);
    EXPECT_NE(window->windowTitle(), title);
}

}  // namespace
}  // namespace tarvix
