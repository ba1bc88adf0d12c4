#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// tarvix-cli which: for each path, the source whose entry the game reads, then every source
// whose entry of that path it hides.
int RunWhich(const CommandLine& line);

}  // namespace tarvix::cli
