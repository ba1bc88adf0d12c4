#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_dialogs.h"

namespace tarvix::test {

// Answers dialogs from a script and records what was asked. An unscripted dialog is cancelled.
class ScriptedDialogs : public UserDialogs {
public:
    void answerOpen(const std::filesystem::path& path) { openAnswers_.emplace_back(path); }
    void cancelOpen() { openAnswers_.emplace_back(std::nullopt); }
    void answerSave(const std::filesystem::path& path) { saveAnswers_.emplace_back(path); }
    void cancelSave() { saveAnswers_.emplace_back(std::nullopt); }
    void answerFolder(const std::filesystem::path& path) { folderAnswers_.emplace_back(path); }

    std::optional<std::filesystem::path> chooseFileToOpen(const OpenFileRequest& request) override;
    std::optional<std::filesystem::path> choosePathToSave(const SaveFileRequest& request) override;
    void showMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::filesystem::path> chooseFolder(const std::string& title) override;

    std::vector<OpenFileRequest> openRequests;
    std::vector<SaveFileRequest> saveRequests;
    std::vector<std::string> messages;
    std::vector<std::string> folderTitles;

private:
    std::deque<std::optional<std::filesystem::path>> openAnswers_;
    std::deque<std::optional<std::filesystem::path>> saveAnswers_;
    std::deque<std::optional<std::filesystem::path>> folderAnswers_;
};

}  // namespace tarvix::test
