#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/user_dialogs.h"

namespace tarvix {

// The program's answers to UserDialogs: Qt's file dialogs and message boxes, owned by the
// main window and captioned with the application's name.
class QtUserDialogs : public UserDialogs {
public:
    void setOwner(QWidget* owner) { owner_ = owner; }

    std::optional<std::filesystem::path> chooseFileToOpen(const OpenFileRequest& request) override;
    std::optional<std::filesystem::path> choosePathToSave(const SaveFileRequest& request) override;
    void showMessage(const std::string& text) override;
    std::optional<std::filesystem::path> chooseFolder(const std::string& title) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tarvix
