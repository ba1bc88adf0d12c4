// Renders the main window with an archive open, a folder selected and a few rows selected,
// for the README's picture.
//
//   tarvix_screenshot <archive.dat> <folder\path> <rows to select> <output.png>

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QTreeView>
#include <cstdio>

#include "ui/extract_dlg.h"
#include "ui/qt_text.h"

namespace {

// Opens the given archive and says nothing: the picture shows the window alone.
class FixedDialogs : public tarvix::UserDialogs {
public:
    explicit FixedDialogs(std::filesystem::path archive) : archive_(std::move(archive)) {}
    std::optional<std::filesystem::path> chooseFileToOpen(const tarvix::OpenFileRequest&) override {
        return archive_;
    }
    std::optional<std::filesystem::path> choosePathToSave(const tarvix::SaveFileRequest&) override {
        return {};
    }
    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::optional<std::filesystem::path> chooseFolder(const std::string&) override { return {}; }

private:
    std::filesystem::path archive_;
};

QModelIndex FindFolder(const QAbstractItemModel& model, const QStringList& path) {
    QModelIndex index;
    for (const QString& name : path) {
        QModelIndex found;
        for (int row = 0; row < model.rowCount(index) && !found.isValid(); ++row) {
            if (model.index(row, 0, index).data().toString() == name)
                found = model.index(row, 0, index);
        }
        index = found;
    }
    return index;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <archive.dat> <folder\\path> <rows> <output.png>\n",
                     argv[0]);
        return 2;
    }
    FixedDialogs dialogs(tarvix::ToFsPath(QString::fromLocal8Bit(argv[1])));
    tarvix::CExtractDlg window(dialogs);
    window.show();

    auto* tree = window.findChild<QTreeView*>(QStringLiteral("IDC_TREE"));
    auto* list = window.findChild<QListView*>(QStringLiteral("IDC_LIST"));
    const QModelIndex folder =
        FindFolder(*tree->model(), QString::fromLocal8Bit(argv[2]).split('\\'));
    if (!folder.isValid()) {
        std::fprintf(stderr, "no folder %s\n", argv[2]);
        return 1;
    }
    tree->expand(folder.parent());
    tree->setCurrentIndex(folder);
    const int rows = QString::fromLocal8Bit(argv[3]).toInt();
    list->setFocus();
    for (int row = 0; row < rows && row < list->model()->rowCount(); ++row) {
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
    }
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[4])) ? 0 : 1;
}
