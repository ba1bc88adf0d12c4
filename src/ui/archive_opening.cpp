#include "ui/archive_opening.h"

#include "ui/qt_text.h"
#include "ui/typed_file_name.h"

namespace tarvix {

std::optional<std::filesystem::path> ChooseArchive(UserDialogs& dialogs) {
    const OpenFileRequest request{"dat",
                                  {{"DAT Files (*.dat)", "*.dat"}, {"All Files (*.*)", "*.*"}}};
    const auto chosen = dialogs.chooseFileToOpen(request);
    if (!chosen) return std::nullopt;
    return ResolveTypedFileName(*chosen, request.defaultSuffix);
}

// Loaded into a session of its own, so that the one shown stays whole until the new one is
// ready to take its place.
bool OpenArchiveInto(ArchiveSession& session, const std::filesystem::path& path,
                     UserDialogs& dialogs) {
    ArchiveSession loaded;
    const DatArchive::LoadResult result = loaded.open(path);
    // A session in use is not replaced; the window does not offer to open one then.
    if (result.ok) return session.replaceWith(loaded);
    ShowRefusal(result, path, dialogs);
    return false;
}

void ShowRefusal(const DatArchive::LoadResult& result, const std::filesystem::path& path,
                 UserDialogs& dialogs) {
    if (!result.message.empty()) {
        dialogs.showMessage(result.message);
    } else if (result.openError) {
        dialogs.showMessage(CannotOpenFileText(path, result.openError));
    }
    dialogs.showMessage(messages::kCannotOpen);
}

std::string CannotOpenFileText(const std::filesystem::path& path, const std::error_code& reason) {
    return "Cannot open " + FromFsPath(path).toStdString() + ": " + reason.message();
}

}  // namespace tarvix
