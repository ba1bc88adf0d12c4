#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "dat_writer.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/extract_dlg.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tarvix::test {

// The real main window, started with a scripted answer to the archive dialog.
class WindowFixture : public ::testing::Test {
protected:
    void Start(const std::vector<datwriter::Entry>& entries,
               const std::string& fileName = "game.dat") {
        archivePath = work.write(fileName, datwriter::BuildDat(entries));
        dialogs.answerOpen(archivePath);
        Show();
    }
    void StartCancelled() {
        dialogs.cancelOpen();
        Show();
    }
    void Show() {
        window = std::make_unique<CExtractDlg>(dialogs);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T>
    T* control(const char* name) const {
        auto* widget = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTreeView* tree() const { return control<QTreeView>("IDC_TREE"); }
    FileListView* list() const { return control<FileListView>("IDC_LIST"); }
    QLineEdit* pathBox() const { return control<QLineEdit>("IDC_PATH"); }
    QLineEdit* statusBox() const { return control<QLineEdit>("IDC_STATUS"); }
    QPushButton* extractButton() const { return control<QPushButton>("IDC_EXTRACT"); }
    QPushButton* versionButton() const { return control<QPushButton>("IDC_VERSION"); }
    QCheckBox* preservePaths() const { return control<QCheckBox>("IDC_PRESERVE"); }
    QCheckBox* unpack() const { return control<QCheckBox>("IDC_UNPACK"); }

    // Finds the tree item at `path` (texts from the top), expands its parents and clicks it.
    void selectFolder(const QStringList& path) {
        QModelIndex index;
        for (const QString& name : path) {
            const auto* model = tree()->model();
            QModelIndex found;
            for (int row = 0; row < model->rowCount(index); ++row) {
                if (model->index(row, 0, index).data().toString() == name) {
                    found = model->index(row, 0, index);
                }
            }
            ASSERT_TRUE(found.isValid()) << name.toStdString();
            if (index.isValid()) tree()->expand(index);
            index = found;
        }
        tree()->scrollTo(index);
        const QPoint centre = tree()->visualRect(index).center();
        if (tree()->viewport()->rect().contains(centre)) {
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, centre);
        } else {
            tree()->setCurrentIndex(index);  // deeper than the narrow tree shows
        }
        ASSERT_EQ(tree()->currentIndex(), index);
    }

    QStringList listTexts() const {
        QStringList texts;
        const auto* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts;
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = list()->visualRect(list()->model()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    // A point of the list below and right of every item.
    void clickEmptySpace() {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->viewport()->rect().bottomRight() - QPoint(3, 3));
    }

    QString status() const { return statusBox()->text(); }

    // Lets the extraction job run to its end while the window's event loop turns, as it does
    // for the user.
    void FinishBatch() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->extracting(); }, 60000));
    }

    TempDir work;
    std::filesystem::path archivePath;
    ScriptedDialogs dialogs;
    std::unique_ptr<CExtractDlg> window;
};

}  // namespace tarvix::test
