#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// create, add and delete: each writes a whole new archive beside ARCHIVE and renames it over
// ARCHIVE once complete, so ARCHIVE is never half-changed.
int RunCreate(const CommandLine& line);
int RunAdd(const CommandLine& line);
int RunDelete(const CommandLine& line);

}  // namespace tarvix::cli
