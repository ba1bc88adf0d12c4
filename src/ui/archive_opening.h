#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_session.h"
#include "ui/user_dialogs.h"

namespace tarvix {

// The archive the user chooses in the open dialog (DAT files first, then all files), with a
// typed name's missing ".dat" added; nothing when they cancel.
std::optional<std::filesystem::path> ChooseArchive(UserDialogs& dialogs);

// Opens `path` in `session` in place of what it shows. A refusal leaves the session as it was
// and is shown as two messages: why (the archive's reason, or the file and the system's reason
// when it cannot be opened at all), then "Cannot open DAT file :(".
bool OpenArchiveInto(ArchiveSession& session, const std::filesystem::path& path,
                     UserDialogs& dialogs);

// Opens the game folder `dir` in `session` (ArchiveSession::openGame) in place of what it
// shows; a refusal leaves the session as it was and is shown as one message, saying why. The
// game's sources that were not there are then named in one message (ShowLeftOutSources).
bool OpenGameInto(ArchiveSession& session, const std::filesystem::path& dir, UserDialogs& dialogs);

// A folder as a game folder (OpenGameInto), anything else as an archive (OpenArchiveInto): what
// a path given at start-up means. The game's sources left out are also noted on stderr, as
// the command line notes them.
bool OpenPathInto(ArchiveSession& session, const std::filesystem::path& path, UserDialogs& dialogs);

// The message naming the game's sources the session's stack left out because they were not
// there, or "" when none was.
std::string LeftOutSourcesText(const ArchiveSession& session);
// Shows LeftOutSourcesText as a message when it is not empty.
void ShowLeftOutSources(const ArchiveSession& session, UserDialogs& dialogs);

// How the file list names each source of the stack the session shows, by place; nothing for an
// archive.
std::vector<QString> StackSourceNames(const ArchiveSession& session);

// Shows why `path` was refused, as OpenArchiveInto does.
void ShowRefusal(const DatArchive::LoadResult& result, const std::filesystem::path& path,
                 UserDialogs& dialogs);

// The message for a file that cannot be opened at all: its path and the system's reason.
std::string CannotOpenFileText(const std::filesystem::path& path, const std::error_code& reason);

}  // namespace tarvix
