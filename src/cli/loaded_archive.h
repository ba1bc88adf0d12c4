#pragma once

#include <memory>
#include <string>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"

namespace tarvix::cli {

// The archive of a run, loaded and walked exactly as the window does it: DatArchive::load,
// then the folder index's walk, which also fills the entry table.
struct LoadedArchive {
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

// Loads `path`, or prints on stderr why it cannot be and returns nothing: the window's refusal
// message, or the system's reason when the file cannot be opened at all, then the window's
// "Cannot open DAT file :(".
std::unique_ptr<LoadedArchive> LoadArchive(const std::string& path);

}  // namespace tarvix::cli
