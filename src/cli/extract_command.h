#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// `extract`: the selected entries written below the folder, by the window's engine.
int RunExtract(const CommandLine& line);

}  // namespace tarvix::cli
