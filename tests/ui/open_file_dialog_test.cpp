#include "ui/open_file_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include "archive/dat_archive.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// What the program asks of the open dialog, as it asks it.
OpenFileRequest ArchiveRequest() {
    test::ScriptedDialogs dialogs;
    dialogs.cancelOpen();
    DatArchive archive;
    archive.OpenArchive(dialogs);
    return dialogs.openRequests.at(0);
}

// Qt's own open dialog, set up by the program, in a folder of files of several kinds.
class OpenFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"master", "game.dat", "CRITTER.DAT", "notes.txt"}) {
            folder.write(name, "x");
        }
        SetUpOpenFileDialog(dialog, ArchiveRequest());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(FromFsPath(folder.path()));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    template <typename T>
    T* part(const char* name) {
        auto* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QStringList typeLabels() {
        QStringList labels;
        QComboBox* types = part<QComboBox>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i) labels << types->itemText(i);
        return labels;
    }

    QStringList listedNames() {
        QListView* view = part<QListView>("listView");
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        names.sort();
        return names;
    }

    test::TempDir folder;
    QFileDialog dialog;
};

TEST_F(OpenFileDialogTest, TypesAreListedByTheirLabelsExactly) {
    EXPECT_EQ(typeLabels(), (QStringList{"DAT Files (*.dat)", "All Files (*.*)"}));
}

struct TypeCase {
    const char* name;
    int downPresses;  // in the type list, from the first type
    QStringList listed;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.name;
}

class FileTypeTest : public OpenFileDialogTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(FileTypeTest, ListsTheFilesOfTheChosenType) {
    QComboBox* types = part<QComboBox>("fileTypeCombo");
    types->setFocus();
    for (int i = 0; i < GetParam().downPresses; ++i) QTest::keyClick(types, Qt::Key_Down);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listedNames() == GetParam().listed; }))
        << listedNames().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Types, FileTypeTest,
    ::testing::Values(TypeCase{"DatFiles", 0, {"CRITTER.DAT", "game.dat"}},
                      TypeCase{"AllFiles", 1, {"CRITTER.DAT", "game.dat", "master", "notes.txt"}}),
    [](const ::testing::TestParamInfo<TypeCase>& info) { return info.param.name; });

struct TypedCase {
    const char* typed;
    const char* handedOver;
};

void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.typed;
}

class TypedNameTest : public OpenFileDialogTest, public ::testing::WithParamInterface<TypedCase> {};

// The dialog adds nothing to a typed name; which file it stands for is settled after it.
TEST_P(TypedNameTest, IsHandedOverAsTyped) {
    QLineEdit* name = part<QLineEdit>("fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, QString::fromLatin1(GetParam().typed));
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.selectedFiles(), QStringList{FromFsPath(folder / GetParam().handedOver)});
}

INSTANTIATE_TEST_SUITE_P(Names, TypedNameTest,
                         ::testing::Values(TypedCase{"master", "master"}, TypedCase{"game", "game"},
                                           TypedCase{"game.dat", "game.dat"},
                                           TypedCase{"missing", "missing"}));

}  // namespace
}  // namespace tarvix
