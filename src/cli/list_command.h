#pragma once

#include "cli/command_line.h"

namespace tarvix::cli {

// `list`: the selected entries' paths, one a line; with --long their packing, sizes and offset
// in aligned columns before the path; with --json one array of objects.
int RunList(const CommandLine& line);

}  // namespace tarvix::cli
