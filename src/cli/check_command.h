#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// `check`: every entry checked by the core's CheckArchive; one line per problem, then the
// counts.
int RunCheck(const CommandLine& line);

}  // namespace tarvix::cli
