#include "ui/open_file_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/archive_opening.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// Qt's own open dialog, set up for what the program asks, in a folder of several kinds of file.
class OpenFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"master", "game.dat", "CRITTER.DAT", "notes.txt"}) {
            folder.write(name, "x");
        }
        test::ScriptedDialogs asked;
        ChooseArchive(asked);  // cancelled; records the request
        SetUpOpenFileDialog(dialog, asked.openRequests.at(0));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(FromFsPath(folder.path()));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QStringList listedNames() {
        auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        names.sort();
        return names;
    }

    test::TempDir folder;
    QFileDialog dialog;
};

// Chosen with the keyboard, one after the other.
TEST_F(OpenFileDialogTest, EachTypeShowsItsLabelAndListsItsFiles) {
    const std::vector<std::pair<QString, QStringList>> types = {
        {"DAT Files (*.dat)", {"CRITTER.DAT", "game.dat"}},
        {"All Files (*.*)", {"CRITTER.DAT", "game.dat", "master", "notes.txt"}}};
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_EQ(combo->count(), static_cast<int>(types.size()));
    combo->setFocus();
    for (int i = 0; i < combo->count(); ++i) {
        if (i > 0) QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(combo->currentText(), types[i].first);
        EXPECT_TRUE(QTest::qWaitFor([&] { return listedNames() == types[i].second; }))
            << listedNames().join(' ').toStdString();
    }
}

class TypedNameTest : public OpenFileDialogTest,
                      public ::testing::WithParamInterface<const char*> {};

// Which file a typed name stands for is settled after the dialog; it adds nothing.
TEST_P(TypedNameTest, IsHandedOverAsTyped) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QTest::keyClicks(name, QString::fromLatin1(GetParam()));
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.selectedFiles(), QStringList{FromFsPath(folder / GetParam())});
}

INSTANTIATE_TEST_SUITE_P(Names, TypedNameTest, ::testing::Values("master", "game", "missing"));

}  // namespace
}  // namespace tarvix
