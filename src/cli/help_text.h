#pragma once

#include <optional>
#include <string_view>

#include "cli/command_line.h"

namespace tarvix::cli {

// The --help text of the program, or of one command, in the usual GNU layout.
std::string_view HelpText(std::optional<Command> command);

}  // namespace tarvix::cli
