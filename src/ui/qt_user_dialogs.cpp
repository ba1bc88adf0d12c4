#include "ui/qt_user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/qt_text.h"

namespace tarvix {
namespace {

std::optional<std::filesystem::path> RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return ToFsPath(dialog.selectedFiles().constFirst());
}

}  // namespace

std::optional<std::filesystem::path> QtUserDialogs::chooseFileToOpen(
    const OpenFileRequest& request) {
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist yet; opening it then fails like any unreadable file.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    QStringList filters;
    for (const FileFilter& filter : request.filters) {
        filters << QString::fromStdString(filter.label);
    }
    dialog.setNameFilters(filters);
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

void QtUserDialogs::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, owner_);
    box.exec();
}

}  // namespace tarvix
