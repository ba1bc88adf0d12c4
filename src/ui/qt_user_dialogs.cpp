#include "ui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/open_file_dialog.h"
#include "ui/qt_text.h"

namespace tarvix {
namespace {

// Every message box of the program: OK only, no icon, the application's name as caption.
void ShowMessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

// Runs the dialog until the user cancels or picks a name in a folder that exists; a typed
// name in a missing folder is answered with a message and the dialog again.
std::optional<std::filesystem::path> RunFileDialog(QFileDialog& dialog) {
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        const QDir folder = QFileInfo(chosen).absoluteDir();
        if (folder.exists()) return ToFsPath(chosen);
        ShowMessageBox(&dialog, QObject::tr("The folder %1 does not exist.")
                                    .arg(QDir::toNativeSeparators(folder.absolutePath())));
    }
}

}  // namespace

std::optional<std::filesystem::path> QtUserDialogs::chooseFileToOpen(
    const OpenFileRequest& request) {
    QFileDialog dialog(owner_);
    SetUpOpenFileDialog(dialog, request);
    return RunFileDialog(dialog);
}

std::optional<std::filesystem::path> QtUserDialogs::choosePathToSave(
    const SaveFileRequest& request) {
    QFileDialog dialog(owner_, QString::fromStdString(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.selectFile(QString::fromStdString(request.suggestedName));
    return RunFileDialog(dialog);
}

std::optional<std::filesystem::path> QtUserDialogs::chooseFolder(const std::string& title) {
    QFileDialog dialog(owner_, QString::fromStdString(title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        const QString chosen = dialog.selectedFiles().constFirst();
        if (QFileInfo(chosen).isDir()) return ToFsPath(chosen);
        ShowMessageBox(
            &dialog,
            QObject::tr("The folder %1 does not exist.").arg(QDir::toNativeSeparators(chosen)));
    }
}

void QtUserDialogs::showMessage(const std::string& text) {
    ShowMessageBox(owner_, QString::fromStdString(text));
}

}  // namespace tarvix
