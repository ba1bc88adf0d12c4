#include "ui/archive_opening.h"

#include <cstdio>
#include <system_error>

#include "archive/stack_entry_list.h"
#include "ui/qt_text.h"
#include "ui/typed_file_name.h"

namespace tarvix {
namespace {

constexpr const char* kLeftOutSourcesLead = "Not found in the game folder, left out: ";

// A source's name comes from the game's configuration file: its control characters become
// '?' so that it can neither break the note's line nor drive the terminal.
std::string PrintableName(std::string name) {
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '?';
    }
    return name;
}

}  // namespace

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

bool OpenGameInto(ArchiveSession& session, const std::filesystem::path& dir, UserDialogs& dialogs) {
    ArchiveSession loaded;
    const DatArchive::LoadResult result = loaded.openGame(dir);
    if (!result.ok) {
        dialogs.showMessage(result.message);
        return false;
    }
    if (!session.replaceWith(loaded)) return false;
    ShowLeftOutSources(session, dialogs);
    return true;
}

bool OpenPathInto(ArchiveSession& session, const std::filesystem::path& path,
                  UserDialogs& dialogs) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) return OpenArchiveInto(session, path, dialogs);
    if (!OpenGameInto(session, path, dialogs)) return false;
    for (const std::string& missing : session.missingSources()) {
        std::fprintf(stderr, "tarvix: note: '%s' is missing; left out\n",
                     PrintableName(missing).c_str());
    }
    return true;
}

std::string LeftOutSourcesText(const ArchiveSession& session) {
    std::string text;
    for (const std::string& missing : session.missingSources()) {
        text += text.empty() ? kLeftOutSourcesLead : ", ";
        text += missing;
    }
    return text;
}

void ShowLeftOutSources(const ArchiveSession& session, UserDialogs& dialogs) {
    const std::string text = LeftOutSourcesText(session);
    if (!text.empty()) dialogs.showMessage(text);
}

std::vector<QString> StackSourceNames(const ArchiveSession& session) {
    std::vector<QString> names;
    if (const SourceStack* stack = session.stack()) {
        for (std::uint32_t place = 0; place < stack->sourceCount(); ++place) {
            names.push_back(
                FromFsPath(std::filesystem::path(SourceShortName(stack->source(place)))));
        }
    }
    return names;
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
