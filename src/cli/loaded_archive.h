#pragma once

#include <memory>
#include <string>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"

namespace tarvix::cli {

// The archive of a run, loaded exactly as the window loads it (DatArchive::load), with its
// entry table, and its folder tree when a command asks for it.
struct LoadedArchive {
    DatArchive archive;
    EntryTable table;
    std::unique_ptr<FolderIndex> folders;  // only with Walk::WithFolders
};

enum class Walk {
    EntriesOnly,  // the entry table alone (FillEntryTable)
    WithFolders,  // the folder index's walk, which fills the same table
};

// Loads `path`, or prints on stderr why it cannot be and returns nothing: the window's refusal
// message, or the system's reason when the file cannot be opened at all, then the window's
// "Cannot open DAT file :(".
std::unique_ptr<LoadedArchive> LoadArchive(const std::string& path, Walk walk);

}  // namespace tarvix::cli
