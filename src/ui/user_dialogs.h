#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvix {

// One choice in a file dialog's type list: "DAT Files (*.dat)" with pattern "*.dat".
struct FileFilter {
    std::string label;
    std::string pattern;
};

struct OpenFileRequest {
    // Without the dot. The dialog does not add it: the caller adds it to a typed name only
    // when no file of that name exists (see ResolveTypedFileName).
    std::string defaultSuffix;
    std::vector<FileFilter> filters;
};

struct SaveFileRequest {
    std::string title;
    std::string suggestedName;  // UTF-8
};

// Everything the core asks of the person in front of the screen. The program answers it with
// Qt dialogs; tests answer it from a script, so every flow runs without a display.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // The chosen file, or the name typed exactly as typed, or nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFileToOpen(
        const OpenFileRequest& request) = 0;
    // The chosen full path, or nothing when the user cancels.
    virtual std::optional<std::filesystem::path> choosePathToSave(
        const SaveFileRequest& request) = 0;
    // A modal message with an OK button only. Text is UTF-8.
    virtual void showMessage(const std::string& text) = 0;
    // An existing folder, chosen in a dialog titled `title` (UTF-8) in which the user may also
    // make a new one; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFolder(const std::string& title) = 0;
};

}  // namespace tarvix
