#include "support/scripted_dialogs.h"

namespace tarvix::test {
namespace {

std::optional<std::filesystem::path> Next(std::deque<std::optional<std::filesystem::path>>& q) {
    if (q.empty()) return std::nullopt;
    auto answer = q.front();
    q.pop_front();
    return answer;
}

}  // namespace

std::optional<std::filesystem::path> ScriptedDialogs::chooseFileToOpen(
    const OpenFileRequest& request) {
    openRequests.push_back(request);
    return Next(openAnswers_);
}

std::optional<std::filesystem::path> ScriptedDialogs::choosePathToSave(
    const SaveFileRequest& request) {
    saveRequests.push_back(request);
    return Next(saveAnswers_);
}

std::optional<std::filesystem::path> ScriptedDialogs::chooseFolder(const std::string& title) {
    folderTitles.push_back(title);
    return Next(folderAnswers_);
}

}  // namespace tarvix::test
