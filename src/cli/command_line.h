#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::cli {

enum class Command { List, Extract, Check, Info, Which, Create, Add, Delete };

// One run's command and its options, as typed.
struct CommandLine {
    Command command = Command::List;
    bool longFormat = false;      // list -l
    bool json = false;            // list, info
    bool raw = false;             // extract
    bool flat = false;            // extract
    bool quiet = false;           // extract, check, create, add, delete
    bool verbose = false;         // extract
    bool force = false;           // create: replace an existing archive
    int level = 9;                // create, add: -0 .. -9
    std::string directory = ".";  // extract, create, add -C
    std::string archive;
    std::vector<std::string> patterns;  // create, add: the PATHs to pack
    std::vector<std::string> layers;    // -L, in the order given: the first wins
    std::string gameDir;                // --game
    // Whether the command reads a stack of sources (-L or --game) in place of ARCHIVE.
    bool overStack() const { return !layers.empty() || !gameDir.empty(); }
};

// What the arguments ask for: a command to run, a help text or the version, or nothing
// because they are wrong.
struct ParsedArguments {
    enum class Kind { Run, Help, Version, UsageError };
    Kind kind = Kind::UsageError;
    CommandLine line;
    std::optional<Command> helpFor;  // with Help: the command, or nothing for the program's
    std::string error;               // with UsageError: what is wrong, for the user
};

// GNU conventions: options may come before, between or after the operands, "--" ends them,
// short options may be bundled ("-lq"), -C takes its folder joined or as the next argument,
// --directory after '=' or as the next argument.
ParsedArguments ParseArguments(const std::vector<std::string_view>& args);

std::string_view CommandName(Command command);

}  // namespace tarvix::cli
