#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// `info`: what the archive holds, as aligned "name: value" lines or one JSON object.
int RunInfo(const CommandLine& line);

}  // namespace tarvix::cli
