#include <QLabel>
#include <QTableView>
#include <map>

#include "ui/find_window.h"
#include "window_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

// Directory order is not name order; ART\INTRFACE holds 300 more files, so that its last file
// lies out of view until the list scrolls to it.
std::vector<datwriter::Entry> Archive() {
    std::vector<datwriter::Entry> entries = {Make("ART\\INTRFACE\\IFACE.FRM", "iface"),
                                             Make("SOUND\\SFX\\IFACE.ACM", "acm"),
                                             Make("ART\\INTRFACE\\ALLTXT.FRM", "alltxt"),
                                             Make("TOP.TXT", "top"),
                                             Make("ART\\CRITTERS\\HMJMPSAA.FRM", "critter"),
                                             Make("A\\B\\C\\D\\DEEP.TXT", "deep"),
                                             Make("TEXT\\CAF\xC9\\\x81.MSG", "odd"),
                                             Make("ART\\INTRFACE\\ZZZ.FRM", "zzz"),
                                             Make("SOUND\\PACKED.ACM", std::string("\x78\xDA"
                                                                                   "abc"))};
    for (int i = 0; i < 300; ++i) entries.push_back(Make("ART\\INTRFACE\\F" + std::to_string(i)));
    return entries;
}

class FindWindowTest : public test::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Start(Archive()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        find = window->findChild<FindWindow*>();
        ASSERT_NE(find, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(find));
        pattern = find->findChild<QLineEdit*>("findPattern");
        results = find->findChild<QTableView*>("findResults");
        count = find->findChild<QLabel*>("findCount");
    }

    // Types `text` into the emptied pattern and waits until its results are shown. Emptying
    // clears the count at once, and of the searches the keystrokes start only the last one
    // shows its results, so the count that appears is the last one's.
    void Search(const QString& text, int found) {
        pattern->setFocus();
        pattern->clear();
        ASSERT_EQ(count->text(), "");
        for (QChar c : text)  // as keystrokes, letters outside ASCII too
            QTest::sendKeyEvent(QTest::Click, pattern, Qt::Key_unknown, QString(c), {});
        const QString wanted = QStringLiteral("%1 file(s) found").arg(found);
        ASSERT_TRUE(QTest::qWaitFor([&] { return count->text() == wanted; }))
            << text.toStdString() << ": " << count->text().toStdString();
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int row = 0; row < results->model()->rowCount(); ++row)
            texts << results->model()->index(row, column).data().toString();
        return texts;
    }
    QStringList SelectedInList() const {
        QStringList texts;
        for (int row : window->SelectedRows()) texts << listTexts()[row];
        return texts;
    }

    FindWindow* find = nullptr;
    QLineEdit* pattern = nullptr;
    QTableView* results = nullptr;
    QLabel* count = nullptr;
};

TEST_F(FindWindowTest, ResultsFollowTheTypingInDirectoryOrder) {
    const struct {
        QString typed;
        QStringList paths;
    } cases[] = {
        {"iface", {"ART\\INTRFACE\\IFACE.FRM", "SOUND\\SFX\\IFACE.ACM"}},
        {"Art/*.FRM",
         {"ART\\INTRFACE\\IFACE.FRM", "ART\\INTRFACE\\ALLTXT.FRM", "ART\\CRITTERS\\HMJMPSAA.FRM",
          "ART\\INTRFACE\\ZZZ.FRM"}},
        {"top.???", {"TOP.TXT"}},
        {"*café\\?.msg", {QString::fromUtf8("TEXT\\CAFÉ\\\u0081.MSG")}},
        {"f29",
         {"ART\\INTRFACE\\F29", "ART\\INTRFACE\\F290", "ART\\INTRFACE\\F291", "ART\\INTRFACE\\F292",
          "ART\\INTRFACE\\F293", "ART\\INTRFACE\\F294", "ART\\INTRFACE\\F295",
          "ART\\INTRFACE\\F296", "ART\\INTRFACE\\F297", "ART\\INTRFACE\\F298",
          "ART\\INTRFACE\\F299"}},
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Search(c.typed, static_cast<int>(c.paths.size())));
        EXPECT_EQ(Column(FoundEntriesModel::kPathColumn), c.paths) << c.typed.toStdString();
    }
    ASSERT_NO_FATAL_FAILURE(Search("deep", 1));
    EXPECT_EQ(Column(FoundEntriesModel::kRealSizeColumn), QStringList{"4"});
    EXPECT_EQ(Column(FoundEntriesModel::kPackedSizeColumn), QStringList{"4"});
    QTest::keyClick(pattern, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pattern, Qt::Key_Backspace);  // an empty pattern shows nothing at once
    EXPECT_EQ(results->model()->rowCount(), 0);
    EXPECT_EQ(count->text(), "");
}

TEST_F(FindWindowTest, EnterOrADoubleClickShowsTheResultsInTheMainWindow) {
    enum Pick { kDownEnter, kAllEnter, kDoubleClickSecond };
    const struct {
        QString typed;
        int found;
        Pick pick;
        QString folder;
        QStringList selected;
    } cases[] = {
        {"zzz", 1, kDownEnter, "ART\\INTRFACE", {"ZZZ.FRM"}},  // the list's last file
        {"art/intrface/*.frm",
         3,
         kAllEnter,
         "ART\\INTRFACE",
         {"ALLTXT.FRM", "IFACE.FRM", "ZZZ.FRM"}},
        {"*.frm", 4, kAllEnter, "ART\\INTRFACE", {"ALLTXT.FRM", "IFACE.FRM", "ZZZ.FRM"}},
        {"iface", 2, kDoubleClickSecond, "SOUND\\SFX", {"IFACE.ACM"}},
        {"top", 1, kDownEnter, "TOP.TXT", {"TOP.TXT"}},
        {"deep", 1, kDownEnter, "A\\B\\C\\D", {"DEEP.TXT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        ASSERT_NO_FATAL_FAILURE(Search(c.typed, c.found));
        if (c.pick == kDoubleClickSecond) {
            const QRect row = results->visualRect(results->model()->index(1, 0));
            QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, row.center());
            QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, row.center());
        } else {
            QTest::keyClick(pattern, Qt::Key_Down);
            EXPECT_TRUE(results->hasFocus());
            if (c.pick == kAllEnter) QTest::keyClick(results, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(results, Qt::Key_Return);
        }
        EXPECT_EQ(pathBox()->text(), c.folder);
        for (QModelIndex i = tree()->currentIndex().parent(); i.isValid(); i = i.parent())
            EXPECT_TRUE(tree()->isExpanded(i));
        EXPECT_TRUE(
            tree()->viewport()->rect().intersects(tree()->visualRect(tree()->currentIndex())));
        EXPECT_EQ(SelectedInList(), c.selected);
        EXPECT_TRUE(
            list()->viewport()->rect().intersects(list()->visualRect(list()->currentIndex())));
        EXPECT_TRUE(status().startsWith(QStringLiteral("%1 of ").arg(c.selected.size())));
        EXPECT_TRUE(extractButton()->isEnabled());
        EXPECT_TRUE(find->isVisible());
    }
}

// Typed fast: Enter arrives before the results, and takes the first of them once they are in.
TEST_F(FindWindowTest, EnterRightAfterTypingTakesTheFirstResultOnceItIsIn) {
    ASSERT_NO_FATAL_FAILURE(Search("iface", 2));
    pattern->clear();
    QTest::keyClicks(pattern, "hmj");
    QTest::keyClick(pattern, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pathBox()->text() == "ART\\CRITTERS"; }))
        << pathBox()->text().toStdString();
    EXPECT_EQ(SelectedInList(), QStringList{"HMJMPSAA.FRM"});
}

TEST_F(FindWindowTest, OpensBesideTheMainWindowAndEscapeClosesIt) {
    EXPECT_FALSE(find->isModal());
    EXPECT_EQ(find->windowTitle(), "Find files");
    EXPECT_TRUE(pattern->hasFocus());
    QTest::keyClick(pattern, Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    EXPECT_TRUE(window->isVisible());
}

// "Extract..." is enabled only when pressing it would extract something: with results shown and
// some of them selected, and not while the main window extracts.
TEST_F(FindWindowTest, ExtractIsEnabledOnlyWhenItWouldExtractSomething) {
    auto* extract = find->findChild<QPushButton*>("findExtract");
    const struct {
        const char* typed;
        int found;
        bool selectAll;
        bool enabled;
    } steps[] = {
        {"iface", 2, true, true},    {"nothing like it", 0, true, false},
        {"iface", 2, false, false},  {"zzz", 1, true, true},
        {"", 0, false, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.typed);
        if (*step.typed) {
            ASSERT_NO_FATAL_FAILURE(Search(step.typed, step.found));
        } else {
            pattern->clear();
        }
        if (step.selectAll) {
            QTest::keyClick(pattern, Qt::Key_Down);
            QTest::keyClick(results, Qt::Key_A, Qt::ControlModifier);
        }
        EXPECT_EQ(extract->isEnabled(), step.enabled);
    }
    ASSERT_NO_FATAL_FAILURE(Search("iface", 2));
    QTest::keyClick(pattern, Qt::Key_Down);
    find->setExtractAllowed(false);  // as while the main window extracts
    EXPECT_FALSE(extract->isEnabled());
    find->setExtractAllowed(true);
    EXPECT_TRUE(extract->isEnabled());
}

TEST_F(FindWindowTest, ExtractWritesTheSelectedResultsWithTheMainWindowsOptions) {
    const auto dest = work / "dest";
    const std::string gzip("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03PACKED.ACM\0abc", 24);
    const struct {
        bool preserve;
        bool unpack;
        QString typed;
        int found;
        std::string suggested;
        std::map<std::string, std::string> files;
    } cases[] = {
        {false, false, "iface", 2, "IFACE.FRM", {{"IFACE.FRM", "iface"}, {"IFACE.ACM", "acm"}}},
        {true,
         false,
         "iface",
         2,
         "IFACE.FRM",
         {{"ART", "<dir>"},
          {"ART/INTRFACE", "<dir>"},
          {"ART/INTRFACE/IFACE.FRM", "iface"},
          {"SOUND", "<dir>"},
          {"SOUND/SFX", "<dir>"},
          {"SOUND/SFX/IFACE.ACM", "acm"}}},
        {true, false, "top.txt", 1, "TOP.TXT", {{"TOP.TXT", "top"}}},  // no folder at the top
        {false, false, "packed", 1, "PACKED.ACM", {{"PACKED.ACM.gz", gzip}}},
        {false,
         true,
         "packed",
         1,
         "PACKED.ACM",
         {{"PACKED.ACM",
           "\x78\xDA"
           "abc"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        std::filesystem::remove_all(dest);
        std::filesystem::create_directory(dest);
        preservePaths()->setChecked(c.preserve);
        unpack()->setChecked(c.unpack);
        ASSERT_NO_FATAL_FAILURE(Search(c.typed, c.found));
        QTest::keyClick(pattern, Qt::Key_Down);
        QTest::keyClick(results, Qt::Key_A, Qt::ControlModifier);
        const std::size_t asked = dialogs.saveRequests.size();
        dialogs.answerSave(dest / "ignored");
        QTest::mouseClick(find->findChild<QPushButton*>("findExtract"), Qt::LeftButton);
        ASSERT_NO_FATAL_FAILURE(FinishBatch());
        ASSERT_EQ(dialogs.saveRequests.size(), asked + 1);
        EXPECT_EQ(dialogs.saveRequests.back().title, "Choose path to extract files to..");
        EXPECT_EQ(dialogs.saveRequests.back().suggestedName, c.suggested);
        EXPECT_EQ(test::Snapshot(dest), c.files);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace tarvix
